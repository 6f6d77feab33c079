// Test helper: the temporary directory and whole-file helpers, under the name the platform and
// headless tests include.
#pragma once

#include "support/temp_files.h"

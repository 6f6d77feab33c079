// Test helper: the temporary directory and whole-file helpers, under the name the platform and
// shell tests include.
#pragma once

#include "common/temp_files.h"

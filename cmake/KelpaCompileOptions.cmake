# Warning and sanitizer flags shared by every Kelpa target.

add_library(kelpa_options INTERFACE)
target_compile_options(kelpa_options INTERFACE
    -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual
    -Wformat=2 -Wimplicit-fallthrough
    $<$<BOOL:${KELPA_WERROR}>:-Werror>)
target_include_directories(kelpa_options INTERFACE "${PROJECT_SOURCE_DIR}/src")
target_compile_definitions(kelpa_options INTERFACE
    KELPA_VERSION_TEXT="${PROJECT_VERSION}")

if(KELPA_SANITIZE AND KELPA_TSAN)
    message(FATAL_ERROR "KELPA_SANITIZE and KELPA_TSAN cannot be combined")
endif()

set(KELPA_SANITIZER_FLAGS "")
if(KELPA_SANITIZE)
    set(KELPA_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
elseif(KELPA_TSAN)
    set(KELPA_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
endif()
if(KELPA_SANITIZER_FLAGS)
    add_compile_options(${KELPA_SANITIZER_FLAGS})
    add_link_options(${KELPA_SANITIZER_FLAGS})
endif()

# The fuzz build instruments every library for coverage and runs it under ASan and UBSan.
if(KELPA_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# What the main build and the fuzz build (tests/fuzz/CMakeLists.txt) share:
# the warning list and the sources of each layer. Each layer is built from
# every source in its folder, so adding a file needs no edit here.
get_filename_component(ZELVORA_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

option(ZELVORA_WERROR "Treat every compiler warning as an error" OFF)

# -Werror is passed here rather than through CMAKE_COMPILE_WARNING_AS_ERROR,
# which a CMake older than 3.24 ignores without a word.
set(ZELVORA_WARNINGS -Wall -Wextra -Wshadow -Wconversion -Wsign-conversion)
if(ZELVORA_WERROR)
  list(APPEND ZELVORA_WARNINGS -Werror)
endif()

file(GLOB ZELVORA_PLATFORM_SOURCES CONFIGURE_DEPENDS ${ZELVORA_ROOT}/platform/*.cpp)
file(GLOB ZELVORA_ENGINE_SOURCES CONFIGURE_DEPENDS ${ZELVORA_ROOT}/engine/*.cpp)
file(GLOB ZELVORA_FRONTEND_SOURCES CONFIGURE_DEPENDS ${ZELVORA_ROOT}/frontend/*.cpp)
# The program's entry point is not part of the front-end library.
list(REMOVE_ITEM ZELVORA_FRONTEND_SOURCES ${ZELVORA_ROOT}/frontend/main.cpp)

# kavo-win.exe: the shared core with the Win32 host layer, for the Windows GUI subsystem,
# linked against kernel32, user32 and shell32 alone (no C runtime). Cross-built with MinGW-w64:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#   cmake --build build-win
# The resource script (string table of the error templates, icon 101, the version block with
# the project's version) is generated at build time by make_resources, a tool built for the
# build machine from src/messages itself.
enable_language(RC)

set(KAVO_WIN_DIR ${CMAKE_CURRENT_LIST_DIR})
set(KAVO_SRC_DIR ${CMAKE_SOURCE_DIR}/src)
set(KAVO_STACK_RESERVE 536870912 CACHE STRING "Stack reserved for kavo-win, in bytes")

# No default Windows libraries: the link line names the three system libraries itself.
set(CMAKE_CXX_STANDARD_LIBRARIES "")

# ---- resources, from a tool built for the build machine -------------------------------------
find_program(KAVO_BUILD_CXX NAMES c++ g++ clang++ REQUIRED)
set(KAVO_RESGEN ${CMAKE_CURRENT_BINARY_DIR}/make_resources)
# The tool needs error_template() alone; unused sections (and what only they call) are dropped.
add_custom_command(
  OUTPUT ${KAVO_RESGEN}
  COMMAND ${KAVO_BUILD_CXX} -std=c++17 -O1 -ffunction-sections -fdata-sections
          -Wl,--gc-sections -I${KAVO_SRC_DIR}
          ${KAVO_WIN_DIR}/make_resources.cpp ${KAVO_SRC_DIR}/messages/messages.cpp -o ${KAVO_RESGEN}
  DEPENDS ${KAVO_WIN_DIR}/make_resources.cpp ${KAVO_SRC_DIR}/messages/messages.cpp
          ${KAVO_SRC_DIR}/messages/messages.h ${KAVO_SRC_DIR}/host/host.h
  COMMENT "Building make_resources for the build machine")
set(KAVO_RC ${CMAKE_CURRENT_BINARY_DIR}/kavo-win.rc)
set(KAVO_ICO ${CMAKE_CURRENT_BINARY_DIR}/kavo.ico)
add_custom_command(
  OUTPUT ${KAVO_RC} ${KAVO_ICO}
  COMMAND ${KAVO_RESGEN} ${KAVO_RC} ${KAVO_ICO} ${PROJECT_VERSION}
  DEPENDS ${KAVO_RESGEN} ${CMAKE_SOURCE_DIR}/CMakeLists.txt
  COMMENT "Generating the string table and icon of kavo-win")

# ---- the program ----------------------------------------------------------------------------
# No loop may become a call of memcpy/memset: crt.cpp provides them, from such loops.
set(KAVO_WIN_FLAGS ${KAVO_CORE_FLAGS} -ffreestanding -fno-builtin
    -fno-tree-loop-distribute-patterns -fno-stack-protector)

add_library(kavo_core STATIC ${KAVO_CORE_SOURCES})
target_compile_options(kavo_core PRIVATE ${KAVO_WIN_FLAGS})
target_include_directories(kavo_core PUBLIC src)

# The block routines stay out of link-time optimisation: calls to them are emitted after it.
add_library(kavo_win_crt OBJECT ${KAVO_WIN_DIR}/crt.cpp)
target_compile_options(kavo_win_crt PRIVATE ${KAVO_WIN_FLAGS})
set_property(TARGET kavo_win_crt PROPERTY INTERPROCEDURAL_OPTIMIZATION OFF)

add_executable(kavo-win
  ${KAVO_WIN_DIR}/entry.cpp ${KAVO_WIN_DIR}/fatal.cpp ${KAVO_WIN_DIR}/format.cpp
  ${KAVO_WIN_DIR}/console.cpp ${KAVO_WIN_DIR}/file_io.cpp ${KAVO_WIN_DIR}/system.cpp
  $<TARGET_OBJECTS:kavo_win_crt> ${KAVO_RC})
target_compile_options(kavo-win PRIVATE ${KAVO_WIN_FLAGS})
target_compile_definitions(kavo-win PRIVATE KAVO_STACK_RESERVE=${KAVO_STACK_RESERVE}u)
target_link_options(kavo-win PRIVATE
  -nostdlib -Wl,--subsystem,windows -Wl,-e,kavo_win_entry -Wl,--stack,${KAVO_STACK_RESERVE})
# Core and host refer to each other: the group lets either side resolve the other.
target_link_libraries(kavo-win PRIVATE
  -Wl,--start-group kavo_core -Wl,--end-group kernel32 user32 shell32 gcc)

# ---- the test driver (an ordinary Windows console program, run under Wine) -------------------
if(KAVO_TESTS AND EXISTS ${CMAKE_SOURCE_DIR}/tests/win/driver.cpp)
  add_executable(kavo-win-driver ${CMAKE_SOURCE_DIR}/tests/win/driver.cpp)
  target_compile_options(kavo-win-driver PRIVATE -Wall -Wextra)
  target_link_options(kavo-win-driver PRIVATE -static -static-libgcc -static-libstdc++)
  target_link_libraries(kavo-win-driver PRIVATE kernel32 user32)
endif()

# Conventions shared by the Windows-side test folders (win32, e2e, bench, screens).

# LANG for each ANSI code page a test may run under. Wine takes the code page from LANG,
# per process, so one shared wineserver serves both at once.
set(TW_LANG_936 zh_CN.UTF-8)
set(TW_LANG_1252 en_US.UTF-8)

# Every test entry that puts windows on the screen, sends input or registers hot keys takes
# this lock: the display, the foreground and the hot keys are shared by all of them.
set(TW_DESKTOP_LOCK tw_desktop)

# tw_add_helpers(<prefix> <out_var>)
# Every helpers/*.cpp of the current folder becomes its own exe named after the file, put in
# ${CMAKE_CURRENT_BINARY_DIR}/helpers. A file that defines wWinMain or WinMain gets the GUI
# subsystem, one with main() a console. Helpers play "another program": they link only the
# system libraries, plus the header-only side of the driver (HelperSide.h).
# <out_var> receives the target names, for add_dependencies.
function(tw_add_helpers prefix out_var)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/helpers/*.cpp)
  set(targets)
  foreach(src IN LISTS sources)
    get_filename_component(name ${src} NAME_WE)
    set(target ${prefix}_helper_${name})
    file(READ ${src} text)
    if(text MATCHES "wWinMain")
      add_executable(${target} WIN32 ${src})
      target_link_options(${target} PRIVATE -municode)
    elseif(text MATCHES "WinMain")
      add_executable(${target} WIN32 ${src})
    else()
      add_executable(${target} ${src})
    endif()
    set_target_properties(${target} PROPERTIES
      OUTPUT_NAME ${name}
      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/helpers)
    target_include_directories(${target} PRIVATE ${TW_ROOT}/tests/e2e/driver)
    target_link_libraries(${target} PRIVATE user32 gdi32 comctl32 shell32 ole32 uuid)
    list(APPEND targets ${target})
  endforeach()
  set(${out_var} ${targets} PARENT_SCOPE)
endfunction()

# tw_use_e2e_helpers(<target>)
# The test finds the e2e helpers (the "other programs") through TW_HELPERS_DIR, and they are
# built before it. One set serves the e2e, Win32, benchmark and screenshot programs.
function(tw_use_e2e_helpers target)
  get_property(helpers GLOBAL PROPERTY TW_E2E_HELPERS)
  get_property(dir GLOBAL PROPERTY TW_E2E_HELPERS_DIR)
  target_compile_definitions(${target} PRIVATE TW_HELPERS_DIR="${dir}")
  add_dependencies(${target} ${helpers})
endfunction()

# tw_add_exe_test(<target> [CODEPAGES cp...] [TIMEOUT s] [LABELS l...])
# One CTest entry per code page (default 936), named <target>.cp<N>, run through Wine with
# the matching LANG and the desktop lock.
function(tw_add_exe_test target)
  cmake_parse_arguments(arg "" "TIMEOUT" "CODEPAGES;LABELS" ${ARGN})
  if(NOT arg_CODEPAGES)
    set(arg_CODEPAGES 936)
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 120)
  endif()
  foreach(cp IN LISTS arg_CODEPAGES)
    if(NOT DEFINED TW_LANG_${cp})
      message(FATAL_ERROR "${target}: no LANG known for code page ${cp} (known: 936 1252)")
    endif()
    add_test(NAME ${target}.cp${cp} COMMAND ${target})
    set_tests_properties(${target}.cp${cp} PROPERTIES
      ENVIRONMENT "LANG=${TW_LANG_${cp}}"
      LABELS "${arg_LABELS}"
      TIMEOUT ${arg_TIMEOUT}
      RESOURCE_LOCK ${TW_DESKTOP_LOCK})
  endforeach()
endfunction()

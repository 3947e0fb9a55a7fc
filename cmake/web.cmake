# The web build's pieces: zlib from Debian's source package, built here with emcc, and the
# link options of the Node commands and of the modules the page and the API load.
find_program(NPM npm)
find_program(NODE node)
if(NOT NPM OR NOT NODE)
  message(FATAL_ERROR "The web build needs node and npm: apt-get install -y nodejs npm")
endif()
# emcc runs its JavaScript optimiser with the node on the path, which finds Debian's acorn
# only when told where Debian keeps node modules.
set_property(GLOBAL PROPERTY RULE_LAUNCH_COMPILE "env NODE_PATH=/usr/share/nodejs")
set_property(GLOBAL PROPERTY RULE_LAUNCH_LINK "env NODE_PATH=/usr/share/nodejs")
# Exceptions are caught, as natively: a thread that cannot start falls back to running its
# work in turn (there are no threads here), and memory that runs out fails one file.
add_compile_options(-fexceptions)
add_link_options(-fexceptions)
# WebAssembly SIMD: the compiler vectorises where it can and the pixel loops gain their
# simd128 tier. An engine without SIMD refuses such a module whole, so the package and the
# page also carry a build without it (PALETTE_WASM_SIMD=OFF) and load the one the engine
# takes.
option(PALETTE_WASM_SIMD "Build the web commands and modules with WebAssembly SIMD" ON)
if(PALETTE_WASM_SIMD)
  add_compile_options(-msimd128)
endif()
# The page and the npm package; the build without SIMD makes only its commands and modules.
option(PALETTE_WEB_PACKAGE "Make the page and the npm package" ON)
# The tests run under Node.
set(CMAKE_CROSSCOMPILING_EMULATOR ${NODE})
set(WEB_NPM_DIR ${CMAKE_BINARY_DIR}/npm)
# The page's test drives Debian's chromium with puppeteer-core, which downloads no browser.
set(PUPPETEER_VERSION 24)
if(BUILD_TESTING)
  set(puppeteer ${WEB_NPM_DIR}/node_modules/puppeteer-core/package.json)
  if(NOT EXISTS ${puppeteer})
    execute_process(COMMAND ${NPM} install --no-audit --no-fund --prefix ${WEB_NPM_DIR}
                            puppeteer-core@${PUPPETEER_VERSION}
                    RESULT_VARIABLE npm_status)
    if(NOT npm_status EQUAL 0 OR NOT EXISTS ${puppeteer})
      message(FATAL_ERROR "npm could not fetch puppeteer-core from the registry")
    endif()
  endif()
endif()

# zlib as the native builds have it, so that a PNG deflates to the same bytes here as on
# Linux, Windows and ARM: Debian's own source package, fetched once into the build folder
# (apt-get source needs a deb-src line for the suite; the README's web set-up line adds
# it). The version zlib1g-dev has where that source is to be had, else the suite's own: a
# security update of the suite's zlib has left the library's code alone so far, and the
# release is checked below.
set(PALETTE_ZLIB_SOURCE "" CACHE PATH "zlib's sources, unpacked (default: apt-get source zlib)")
set(ZLIB_NATIVE_VERSION 1.2.13)
if(NOT PALETTE_ZLIB_SOURCE)
  set(zlib_fetched ${CMAKE_BINARY_DIR}/zlib-source)
  file(GLOB zlib_header ${zlib_fetched}/zlib-*/zlib.h)
  if(NOT zlib_header)
    # One line for each architecture it is installed for (the ARM build's too): the same.
    execute_process(COMMAND dpkg-query -W -f=\${source:Version}\n zlib1g-dev
                    OUTPUT_VARIABLE zlib_package_version ERROR_QUIET)
    string(REGEX MATCH "^[^\n]+" zlib_package_version "${zlib_package_version}")
    set(zlib_wanted zlib)
    if(zlib_package_version)
      set(zlib_wanted zlib=${zlib_package_version} zlib)
    endif()
    file(MAKE_DIRECTORY ${zlib_fetched})
    foreach(wanted ${zlib_wanted})
      if(NOT zlib_header)
        execute_process(COMMAND apt-get source -qq ${wanted} WORKING_DIRECTORY ${zlib_fetched}
                        OUTPUT_QUIET ERROR_QUIET)
        file(GLOB zlib_header ${zlib_fetched}/zlib-*/zlib.h)
      endif()
    endforeach()
    if(NOT zlib_header)
      message(FATAL_ERROR "The web build makes zlib from Debian's source package, which "
                          "apt-get source zlib could not fetch: add a deb-src line for this "
                          "suite and apt-get install -y dpkg-dev (see the README)")
    endif()
  endif()
  list(GET zlib_header 0 zlib_header)
  get_filename_component(PALETTE_ZLIB_SOURCE ${zlib_header} DIRECTORY)
endif()
file(STRINGS ${PALETTE_ZLIB_SOURCE}/zlib.h zlib_version REGEX "^#define ZLIB_VERSION ")
if(NOT zlib_version MATCHES "\"${ZLIB_NATIVE_VERSION}\"")
  message(FATAL_ERROR "${PALETTE_ZLIB_SOURCE} holds zlib ${zlib_version}, not the native "
                      "builds' ${ZLIB_NATIVE_VERSION}")
endif()
enable_language(C)
set(zlib_sources adler32.c compress.c crc32.c deflate.c infback.c inffast.c inflate.c
                 inftrees.c trees.c uncompr.c zutil.c)
list(TRANSFORM zlib_sources PREPEND ${PALETTE_ZLIB_SOURCE}/)
add_library(web_zlib STATIC ${zlib_sources})
target_include_directories(web_zlib SYSTEM PUBLIC ${PALETTE_ZLIB_SOURCE})
# zlib's own code, as its authors build it: its warnings are not this project's.
target_compile_options(web_zlib PRIVATE -w)
add_library(ZLIB::ZLIB ALIAS web_zlib)

# npm wants three numbers.
set(NPM_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0)

# At most 2 GB: past 2^31 this emscripten's file reads never return (a 2,147,482,623-byte
# input hung palette-batch), where within it the largest inputs fail for want of memory.
set(WEB_COMMON_OPTIONS -sSINGLE_FILE=1 -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=2GB
                       -sTOTAL_STACK=1MB)

# A command for Node: the real file system, the process's arguments, its exit status.
function(web_command name)
  target_link_options(${name} PRIVATE ${WEB_COMMON_OPTIONS} -sNODERAWFS=1 -sENVIRONMENT=node
                                      -sEXIT_RUNTIME=1)
endfunction()

# The same command as a module that a page, a worker or the API creates and runs in
# memory as often as it likes: files in its own memory file system, output by callback.
function(web_module name export)
  add_executable(${name}-module ${ARGN})
  target_link_libraries(${name}-module PRIVATE project_warnings)
  target_link_options(${name}-module PRIVATE ${WEB_COMMON_OPTIONS} -sMODULARIZE=1
                      -sEXPORT_NAME=${export} -sINVOKE_RUN=0 -sEXIT_RUNTIME=0
                      -sFORCE_FILESYSTEM=1 -sENVIRONMENT=web,worker,node
                      "-sEXPORTED_RUNTIME_METHODS=['callMain','FS','stackSave','stackRestore']")
endfunction()

# The web build's pieces: fflate from the npm registry, put in front of every module, and
# the link options of the Node commands and of the modules the page and the API load.
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
# The tests run under Node.
set(CMAKE_CROSSCOMPILING_EMULATOR ${NODE})
set(FFLATE_VERSION 0.8.2)
set(WEB_NPM_DIR ${CMAKE_BINARY_DIR}/npm)
set(FFLATE_UMD ${WEB_NPM_DIR}/node_modules/fflate/umd/index.js)
# The page's test drives Debian's chromium with puppeteer-core, which downloads no browser.
set(PUPPETEER_VERSION 24)
set(npm_packages fflate@${FFLATE_VERSION})
set(npm_wanted ${FFLATE_UMD})
if(BUILD_TESTING)
  list(APPEND npm_packages puppeteer-core@${PUPPETEER_VERSION})
  list(APPEND npm_wanted ${WEB_NPM_DIR}/node_modules/puppeteer-core/package.json)
endif()
foreach(wanted ${npm_wanted})
  if(NOT EXISTS ${wanted})
    execute_process(COMMAND ${NPM} install --no-audit --no-fund --prefix ${WEB_NPM_DIR} ${npm_packages}
                    RESULT_VARIABLE npm_status)
    if(NOT npm_status EQUAL 0 OR NOT EXISTS ${wanted})
      message(FATAL_ERROR "npm could not fetch ${npm_packages} from the registry")
    endif()
  endif()
endforeach()
# fflate's UMD file, kept to itself: it must not see Node's module object, which the
# commands' own loader uses.
set(FFLATE_PRE_JS ${CMAKE_BINARY_DIR}/fflate-pre.js)
file(READ ${FFLATE_UMD} fflate_source)
file(WRITE ${FFLATE_PRE_JS}
     "var paletteFflate = (function () { var module = { exports: {} }; var exports = module.exports;\n"
     "${fflate_source}\nreturn module.exports; })();\n")

# npm wants three numbers.
set(NPM_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0)

# At most 2 GB: past 2^31 this emscripten's file reads never return (a 2,147,482,623-byte
# input hung palette-batch), where within it the largest inputs fail for want of memory.
set(WEB_COMMON_OPTIONS -sSINGLE_FILE=1 -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=2GB
                       -sTOTAL_STACK=1MB "SHELL:--pre-js ${FFLATE_PRE_JS}")

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
                      "-sEXPORTED_RUNTIME_METHODS=['callMain','FS']")
endfunction()

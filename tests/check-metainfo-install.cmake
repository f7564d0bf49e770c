# Installs the build into a fresh folder and checks the AppStream metainfo as
# a software centre finds it there: in share/metainfo, valid, and with the
# desktop file it names as its launchable beside it.
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DAPPSTREAMCLI=... -P check-metainfo-install.cmake
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(metainfo ${prefix}/share/metainfo/example.kelmor.trvloader.metainfo.xml)
if(NOT EXISTS ${metainfo})
    message(FATAL_ERROR "no metainfo installed at ${metainfo}")
endif()
file(READ ${metainfo} text)
string(REGEX MATCH "<launchable type=\"desktop-id\">([^<]+)</launchable>" found "${text}")
if(NOT found OR NOT EXISTS ${prefix}/share/applications/${CMAKE_MATCH_1})
    message(FATAL_ERROR "the launchable desktop file \"${CMAKE_MATCH_1}\" is not installed")
endif()
string(REGEX MATCHALL "<binary>[^<]+</binary>" binaries "${text}")
foreach(binary ${binaries})
    string(REGEX REPLACE "</?binary>" "" binary "${binary}")
    if(NOT EXISTS ${prefix}/bin/${binary})
        message(FATAL_ERROR "the metainfo names the program ${binary}, which is not installed")
    endif()
endforeach()

# validate-tree reads the installed tree as a software centre's indexer does.
execute_process(COMMAND ${APPSTREAMCLI} validate-tree --no-net ${prefix}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate-tree failed:\n${output}")
endif()
file(REMOVE_RECURSE ${prefix})

# cmake -DFOLDER=<folder> -P freshfolders.cmake
# Empties FOLDER and makes in it the per-user folders a test program is given
# in place of the user's own: runtime (private to its owner, as the session's
# runtime folder is), config, data and cache.
if(NOT FOLDER)
    message(FATAL_ERROR "FOLDER not given")
endif()
file(REMOVE_RECURSE "${FOLDER}")
file(MAKE_DIRECTORY "${FOLDER}/runtime" "${FOLDER}/config" "${FOLDER}/data" "${FOLDER}/cache")
file(CHMOD "${FOLDER}/runtime" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

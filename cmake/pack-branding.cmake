# Turns a branding folder into the archive embedded in Launcher.exe:
#   cmake -DTOOL=launcher-tool -DSOURCE=branding/default -DSTAGE=dir -DOUTPUT=branding.rar -P pack-branding.cmake
# Language sources (lang/*.txt) are compiled to .lso; every other file is
# packed as it is.
foreach(var TOOL SOURCE STAGE OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "pack-branding: ${var} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(GLOB_RECURSE files RELATIVE ${SOURCE} ${SOURCE}/*)
foreach(rel IN LISTS files)
    get_filename_component(dir ${rel} DIRECTORY)
    file(MAKE_DIRECTORY ${STAGE}/${dir})
    if(rel MATCHES "^lang/[^/]+\\.txt$")
        string(REGEX REPLACE "\\.txt$" ".lso" lso ${rel})
        execute_process(COMMAND ${TOOL} lso ${SOURCE}/${rel} ${STAGE}/${lso} RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            message(FATAL_ERROR "pack-branding: ${rel} does not compile")
        endif()
    else()
        file(COPY_FILE ${SOURCE}/${rel} ${STAGE}/${rel})
    endif()
endforeach()

execute_process(COMMAND ${TOOL} pack ${STAGE} ${OUTPUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pack-branding: packing ${STAGE} failed")
endif()

# Installs the build into a staging folder and checks what lands where.
# -DBUILD_DIR=... -DSTAGE=... -DRULES=<the udev rule in the source tree>
file(REMOVE_RECURSE "${STAGE}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${STAGE}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(expected bin/quelvar-gsm bin/quelvar-gsm-cli lib/udev/rules.d/70-quelvar-gsm.rules
    share/applications/quelvar-gsm.desktop share/mime/packages/quelvar-gsm.xml)
foreach(size 16 24 32 48 64 128 256)
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/quelvar-gsm.png)
endforeach()
foreach(path ${expected})
    if(NOT EXISTS "${STAGE}/${path}")
        message(FATAL_ERROR "missing after install: ${path}")
    endif()
endforeach()
foreach(program quelvar-gsm quelvar-gsm-cli)
    if(NOT IS_DIRECTORY "${STAGE}/bin" OR NOT EXISTS "${STAGE}/bin/${program}")
        message(FATAL_ERROR "${program} not installed")
    endif()
endforeach()

# The rule matches the communicator's two products and gives the seat's user access,
# never everybody.
file(READ "${RULES}" rules)
foreach(product 003f 0061)
    if(NOT rules MATCHES "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"04d8\", ATTRS{idProduct}==\"${product}\", TAG\\+=\"uaccess\"")
        message(FATAL_ERROR "the udev rule does not match product ${product} with uaccess")
    endif()
endforeach()
if(rules MATCHES "MODE" OR rules MATCHES "0666" OR rules MATCHES "GROUP")
    message(FATAL_ERROR "the udev rule must not set a mode or group")
endif()
string(REGEX MATCHALL "ATTRS{idProduct}==\"[0-9a-f]+\"" products "${rules}")
list(LENGTH products count)
if(NOT count EQUAL 2)
    message(FATAL_ERROR "the udev rule matches ${count} products, not 2")
endif()

file(READ "${STAGE}/share/applications/quelvar-gsm.desktop" desktop)
# A double click on a settings file passes it to the window program.
foreach(line "Type=Application" "Exec=quelvar-gsm %f" "Icon=quelvar-gsm"
        "MimeType=application/x-quelvar-am2;")
    if(NOT desktop MATCHES "${line}")
        message(FATAL_ERROR "desktop entry lacks ${line}")
    endif()
endforeach()
file(READ "${STAGE}/share/mime/packages/quelvar-gsm.xml" mime)
if(NOT mime MATCHES "type=\"application/x-quelvar-am2\"" OR NOT mime MATCHES "pattern=\"\\*.am2\"")
    message(FATAL_ERROR "the MIME type does not give *.am2 its type")
endif()
message(STATUS "install into ${STAGE}: all ${count} rules and files in place")

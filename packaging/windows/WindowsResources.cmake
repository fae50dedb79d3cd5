# quelvar_windows_resources(TARGET DESCRIPTION): the application icon and the version
# information as Windows resources of TARGET.
function(quelvar_windows_resources target description)
    set(QUELVAR_RC_ICON ${PROJECT_SOURCE_DIR}/packaging/windows/quelvar-gsm.ico)
    set(QUELVAR_RC_NAME ${target})
    set(QUELVAR_RC_DESCRIPTION ${description})
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/program.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()

# Strict warnings for our own targets; third-party headers come in as SYSTEM. Warnings stop the
# build only where a developer can act on them (VEXT_WERROR: tools/test.sh and CI), never in a
# user's build, where a new compiler's new warning must not break the run command.
option(VEXT_WERROR "Treat warnings as errors" OFF)

function(vext_strict_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
    if(VEXT_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

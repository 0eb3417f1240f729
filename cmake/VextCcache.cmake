# Compiler cache when present: worktrees share one cache, since paths under the common base
# directory are hashed relative to the build tree.
find_program(VEXT_CCACHE ccache)
if(VEXT_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
    get_filename_component(vext_ccache_base "${PROJECT_SOURCE_DIR}/.." ABSOLUTE)
    set(CMAKE_CXX_COMPILER_LAUNCHER
        ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${vext_ccache_base} CCACHE_NOHASHDIR=1
        ${VEXT_CCACHE})
endif()

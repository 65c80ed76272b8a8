# ccache, where installed: CI builds every clean clone of the same sources again, the same
# files under five configurations. Paths are taken relative to the source folder and the
# working folder is left out of the hash, so a clone in another folder finds the same entries
# (its debug information and __FILE__ then name the folder that filled the entry).
option(PYX_CCACHE "Compile through ccache when it is installed" ON)
find_program(PYX_CCACHE_PROGRAM ccache)
if(PYX_CCACHE AND PYX_CCACHE_PROGRAM AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(pyx_launcher ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=1
      ${PYX_CCACHE_PROGRAM})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${pyx_launcher})
  set(CMAKE_C_COMPILER_LAUNCHER ${pyx_launcher})
endif()

# One static library per source folder; every .cpp of the folder belongs to it
# (main.cpp is an executable's own). The folder include_dir is the library's
# whole include interface: whoever links it sees those headers and no others.
function(uploader_library name folder include_dir)
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${include_dir})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${include_dir})
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# The modules under src/ are included as "<module>/Name.h". Each one's include
# folder in the build tree holds a single link, <module> -> src/<module>, so a
# module sees the headers of the modules it links and a #include that reaches
# past them does not compile.
set(uploader_module_includes ${PROJECT_BINARY_DIR}/module-includes)

function(uploader_module name)
  set(include_dir ${uploader_module_includes}/${name})
  file(MAKE_DIRECTORY ${include_dir})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${name} ${include_dir}/${name} SYMBOLIC)
  uploader_library(${name} ${PROJECT_SOURCE_DIR}/src/${name} ${include_dir} ${ARGN})
endfunction()

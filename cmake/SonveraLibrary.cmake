# sonvera_library(<name> SOURCES <file...> [DEPENDS <layer...>] [SYSTEM <library...>])
#
# One layer of Sonvera.dll (a folder: fw, userdata, Setup, voice, skin) as a
# static library. A layer names the layers it builds on (DEPENDS) and the
# system libraries it calls (SYSTEM), and nothing else:
#   - <name>_alone.dll is linked from the layer's own objects and what it
#     depends on, so a call into a layer it does not depend on (an include
#     against the direction) fails to link right there;
#   - tests link the layer they test, which brings the layers below it;
#   - Sonvera.dll is made of the objects of every layer declared this way
#     (sonvera_link_layers), so adding a layer is this one call in its folder.
function(sonvera_library name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPENDS;SYSTEM" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  # The layer's own code exports its classes; whoever links the static
  # library (a test) sees them without import decoration.
  target_compile_definitions(${name} PRIVATE SONVERA_BUILD INTERFACE SONVERA_STATIC
                             PUBLIC WINVER=0x0601 _WIN32_WINNT=0x0601 NOMINMAX)
  target_link_libraries(${name} PUBLIC ${L_DEPENDS} ${L_SYSTEM})

  add_library(${name}_alone SHARED $<TARGET_OBJECTS:${name}>)
  target_link_libraries(${name}_alone PRIVATE ${L_DEPENDS} ${L_SYSTEM})
  set_target_properties(${name}_alone PROPERTIES
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/layers
                        ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/layers)

  set_property(GLOBAL APPEND PROPERTY SONVERA_LAYERS ${name})
endfunction()

# Makes <target> (Sonvera.dll) of the objects of every layer declared so far.
function(sonvera_link_layers target)
  get_property(layers GLOBAL PROPERTY SONVERA_LAYERS)
  foreach(layer IN LISTS layers)
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:${layer}>)
  endforeach()
  # For the layers' system libraries; their objects are all in already.
  target_link_libraries(${target} PRIVATE ${layers})
endfunction()

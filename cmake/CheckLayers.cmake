# The include lines of every layer folder against the layer order.
#   cmake -DSOURCE_DIR=<root> -DLAYERS=<a,b|c,d> [-DNEVER=<x>y,...] -P CheckLayers.cmake
# LAYERS is the top CMakeLists.txt's CRVN_LAYERS with "," between layers;
# folders joined by "|" are peers. A layer may also be a room inside a
# folder ("traffic/motion"): a file belongs to the deepest layer folder that
# holds it. A folder may include from itself and from the layers before its
# own, never from a later layer (upward) or a peer (sideways), never a pair
# named in NEVER ("traffic>platform", which holds for the folder's rooms
# too), and it names in its CMakeLists.txt files the library of every other
# folder it includes (crvn_traffic_motion for traffic/motion).

cmake_minimum_required(VERSION 3.25)

string(REPLACE "," ";" layer_list "${LAYERS}")
set(rank 0)
set(folders "")
foreach(layer IN LISTS layer_list)
  string(REPLACE "|" ";" peers "${layer}")
  foreach(folder IN LISTS peers)
    set(rank_of_${folder} ${rank})
    list(APPEND folders ${folder})
  endforeach()
  math(EXPR rank "${rank} + 1")
endforeach()
string(REPLACE "," ";" never_list "${NEVER}")

# The deepest layer folder that holds the path (relative to SOURCE_DIR);
# empty when none does.
function(layer_of path out)
  set(best "")
  foreach(candidate IN LISTS folders)
    string(LENGTH "${candidate}" candidate_length)
    string(LENGTH "${best}" best_length)
    if(path MATCHES "^${candidate}/" AND candidate_length GREATER best_length)
      set(best ${candidate})
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

# The folder's first path part: "traffic" for traffic/motion.
function(top_of folder out)
  string(REGEX REPLACE "/.*" "" top "${folder}")
  set(${out} "${top}" PARENT_SCOPE)
endfunction()

set(faults "")
foreach(folder IN LISTS folders)
  if(NOT IS_DIRECTORY ${SOURCE_DIR}/${folder})
    continue()
  endif()
  top_of(${folder} folder_top)
  file(GLOB_RECURSE cmake_files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/CMakeLists.txt)
  set(declared "")
  foreach(cmake_file IN LISTS cmake_files)
    layer_of(${cmake_file} owner)
    if(owner STREQUAL folder)
      file(READ ${SOURCE_DIR}/${cmake_file} text)
      string(APPEND declared "${text}")
    endif()
  endforeach()
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  list(SORT sources)
  foreach(source IN LISTS sources)
    layer_of(${source} owner)
    if(NOT owner STREQUAL folder)
      continue()
    endif()
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" included "${line}")
      layer_of(${included} used)
      if(used STREQUAL folder OR used STREQUAL "")
        continue()
      endif()
      top_of(${used} used_top)
      string(REPLACE "/" "_" used_library "crvn_${used}")
      if(rank_of_${used} GREATER rank_of_${folder})
        list(APPEND faults "${source}: includes ${used}/ from a later layer")
      elseif(rank_of_${used} EQUAL rank_of_${folder})
        list(APPEND faults "${source}: includes ${used}/ from a peer layer")
      elseif("${folder}>${used}" IN_LIST never_list OR "${folder_top}>${used_top}" IN_LIST never_list)
        list(APPEND faults "${source}: ${folder}/ never includes ${used}/")
      elseif(NOT declared MATCHES "${used_library}[^a-z_]")
        list(APPEND faults "${source}: includes ${used}/ but ${folder}/ does not name ${used_library} in CMake")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(REMOVE_DUPLICATES faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "Includes against the layer order:\n  ${text}")
endif()
list(LENGTH folders count)
message(STATUS "Include lines of ${count} layer folders follow the layer order")

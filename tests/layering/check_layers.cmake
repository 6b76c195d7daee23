# Fails when a file under ROOT includes a header of a layer above its own, a
# feature includes another feature's header, or a layer includes a Qt module
# it must not use. Run with cmake -P; ROOT is a source tree laid out in the
# layers core < protocol < transport < session < features < app, with cli
# (the command-line front end) beside features and app: above session, and
# included by no other layer; QT_<MODULE>_DIR are the include folders of the
# Qt modules checked.
set(layers core protocol transport session cli features app)
# Qt modules each layer must not include.
set(forbidden_core      GUI WIDGETS NETWORK SERIALPORT)
set(forbidden_protocol  GUI WIDGETS NETWORK SERIALPORT)
set(forbidden_transport GUI WIDGETS)
set(forbidden_session   GUI WIDGETS)
set(forbidden_cli       GUI WIDGETS)

file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/*.h ${ROOT}/*.cpp)
# ONLY: check just the files whose name starts with it.
if(ONLY)
    list(FILTER files INCLUDE REGEX "/${ONLY}[^/]*$")
endif()
set(faults "")
foreach(file IN LISTS files)
    string(REGEX MATCH "^[^/]+" layer ${file})
    list(FIND layers ${layer} rank)
    if(rank LESS 0)
        continue()
    endif()
    string(REGEX MATCH "^features/[^/]+" feature ${file})
    file(STRINGS ${ROOT}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*" "\\1" header "${line}")
        # Our own headers: by layer, and feature by feature.
        string(REGEX MATCH "^[^/]+" target ${header})
        list(FIND layers "${target}" target_rank)
        if(target_rank GREATER rank AND NOT layer STREQUAL "cli")
            list(APPEND faults "${file}: includes ${header} from the layer above (${target})")
        endif()
        # The front ends stand side by side: neither includes the other.
        if((layer STREQUAL "cli" AND target_rank GREATER rank) OR
           (target STREQUAL "cli" AND NOT layer STREQUAL "cli"))
            list(APPEND faults "${file}: includes ${header} from the layer above (${target})")
        endif()
        if(feature AND header MATCHES "^features/[^/]+/")
            string(REGEX MATCH "^features/[^/]+" other ${header})
            if(NOT other STREQUAL feature AND NOT other STREQUAL "features/common")
                list(APPEND faults "${file}: includes ${header} from another feature")
            endif()
        endif()
        # Qt modules the layer must not use.
        foreach(module IN LISTS forbidden_${layer})
            set(dir "${QT_${module}_DIR}")
            get_filename_component(module_name "${dir}" NAME)
            if(header MATCHES "^${module_name}(/|$)" OR
               (NOT header MATCHES "/" AND EXISTS "${dir}/${header}"))
                list(APPEND faults "${file}: includes ${header} from ${module_name}")
            endif()
        endforeach()
    endforeach()
endforeach()

if(faults)
    list(JOIN faults "\n" text)
    message(FATAL_ERROR "Includes that break the layering:\n${text}")
endif()
list(LENGTH files count)
message(STATUS "${count} files follow the layering")

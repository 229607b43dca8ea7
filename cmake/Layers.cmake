# SPDX-FileCopyrightText: 2026 The Probnik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The program's layers, declared here before any folder adds its files to them, so that the
# order of the folders does not matter:
#   probnik_common   (no Qt)  colours, points, failures as values, number texts, whole files
#   probnik_picture  (no Qt)  the drawing surface and the picture readers
#   probnik_colour   (no Qt)  ICC profiles and L*a*b* through them (Little CMS 2)
#   probnik_core     (no Qt)  every other rule that needs no window
#   probnik_ui                the windows
# A core library links no Qt and has no Qt include path, so a Qt include in one of its files
# fails to compile. Includes name their folder ("picture/Canvas.h") from the source root.

# The folders that hold the program's code, in the order their layers stack. The clang-tidy
# header filter and CI's list of files to check name the same folders; the check below keeps
# them together.
set(PROBNIK_CODE_FOLDERS common picture colour app sampling analysis demo info testing)

add_library(probnik_common STATIC)
target_include_directories(probnik_common PUBLIC ${PROJECT_SOURCE_DIR})

add_library(probnik_picture STATIC)
target_link_libraries(probnik_picture PUBLIC probnik_common)

add_library(probnik_colour STATIC)
target_link_libraries(probnik_colour PUBLIC probnik_picture)

add_library(probnik_core STATIC)
target_link_libraries(probnik_core PUBLIC probnik_colour)

add_library(probnik_ui STATIC)
target_link_libraries(probnik_ui PUBLIC probnik_core Qt6::Widgets Qt6::Charts Qt6::Svg)
target_include_directories(probnik_ui PUBLIC ${PROJECT_BINARY_DIR}/generated)

foreach(layer probnik_common probnik_picture probnik_colour probnik_core)
    set_target_properties(${layer} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
endforeach()

# The same folder list where clang-tidy and CI name it.
list(JOIN PROBNIK_CODE_FOLDERS "|" probnik_folder_pattern)
foreach(named_in .clang-tidy .ci/run)
    file(READ ${PROJECT_SOURCE_DIR}/${named_in} text)
    string(FIND "${text}" "/(${probnik_folder_pattern})/" found)
    if(found EQUAL -1)
        message(FATAL_ERROR "${named_in} must name the code folders as /(${probnik_folder_pattern})/")
    endif()
endforeach()

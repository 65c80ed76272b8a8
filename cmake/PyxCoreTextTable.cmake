# Makes the core's translations into code, for the programs without Qt (pyxtunectl, the
# Windows core): every finished translation under the context "Messages" of each .ts file,
# as the table app/CoreTextTable.h declares. The .ts files stay the one place the texts are
# translated; the window reads the same entries from the compiled .qm files.
#   cmake -DENGLISH_TS=<file.ts> -DCHINESE_TS=<file.ts> -DOUTPUT=<file.cpp> -P PyxCoreTextTable.cmake
cmake_minimum_required(VERSION 3.25)

foreach(input ENGLISH_TS CHINESE_TS OUTPUT)
  if(NOT ${input})
    message(FATAL_ERROR "PyxCoreTextTable.cmake needs -D${input}=<file>")
  endif()
endforeach()

# The text of an element as Qt Linguist writes it: XML's five entities, and control
# characters as <byte value="xd"/>.
function(pyx_xml_text out text)
  while(text MATCHES "<byte value=\"x([0-9a-fA-F]+)\"/>")
    set(element "${CMAKE_MATCH_0}")
    math(EXPR code "0x${CMAKE_MATCH_1}")
    string(ASCII ${code} char)
    string(REPLACE "${element}" "${char}" text "${text}")
  endwhile()
  string(REPLACE "&lt;" "<" text "${text}")
  string(REPLACE "&gt;" ">" text "${text}")
  string(REPLACE "&quot;" "\"" text "${text}")
  string(REPLACE "&apos;" "'" text "${text}")
  string(REPLACE "&amp;" "&" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# A C++ string literal holding `text` byte for byte (UTF-8 passes through).
function(pyx_cpp_literal out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  string(REPLACE "\n" "\\n" text "${text}")
  string(REPLACE "\r" "\\r" text "${text}")
  string(REPLACE "\t" "\\t" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# The part of `text` between `open` and `close` from `from` on, and where it ends; -1 for
# `end` when there is none. String positions are in bytes, as the file is read.
function(pyx_between inner end text from open close)
  set(${end} -1 PARENT_SCOPE)
  string(SUBSTRING "${text}" ${from} -1 rest)
  string(FIND "${rest}" "${open}" start)
  if(start EQUAL -1)
    return()
  endif()
  string(LENGTH "${open}" open_length)
  math(EXPR start "${start} + ${open_length}")
  string(SUBSTRING "${rest}" ${start} -1 rest)
  string(FIND "${rest}" "${close}" length)
  if(length EQUAL -1)
    return()
  endif()
  string(SUBSTRING "${rest}" 0 ${length} found)
  string(LENGTH "${close}" close_length)
  math(EXPR stop "${from} + ${start} + ${length} + ${close_length}")
  set(${inner} "${found}" PARENT_SCOPE)
  set(${end} ${stop} PARENT_SCOPE)
endfunction()

# The entries of `ts` as lines of a braced list, and how many there are. An unfinished,
# vanished or obsolete translation, or an empty one, is left out: the text is then shown as
# written.
function(pyx_messages lines count ts)
  file(READ "${ts}" xml)
  set(entries "")
  set(n 0)
  set(at 0)
  while(TRUE)
    pyx_between(context at "${xml}" ${at} "<context>" "</context>")
    if(at EQUAL -1)
      break()
    endif()
    if(NOT context MATCHES "<name>Messages</name>")
      continue()
    endif()
    set(in 0)
    while(TRUE)
      pyx_between(message in "${context}" ${in} "<message>" "</message>")
      if(in EQUAL -1)
        break()
      endif()
      pyx_between(source found "${message}" 0 "<source>" "</source>")
      pyx_between(tag found_tag "${message}" 0 "<translation" ">")
      if(found EQUAL -1 OR found_tag EQUAL -1 OR tag MATCHES "type=|/$")
        continue()
      endif()
      pyx_between(translation found "${message}" 0 "<translation${tag}>" "</translation>")
      if(found EQUAL -1 OR translation STREQUAL "")
        continue()
      endif()
      pyx_xml_text(source "${source}")
      pyx_xml_text(translation "${translation}")
      pyx_cpp_literal(source "${source}")
      pyx_cpp_literal(translation "${translation}")
      string(APPEND entries "    CoreTextPair{${source},\n                 ${translation}},\n")
      math(EXPR n "${n} + 1")
    endwhile()
  endwhile()
  set(${lines} "${entries}" PARENT_SCOPE)
  set(${count} ${n} PARENT_SCOPE)
endfunction()

pyx_messages(english english_count "${ENGLISH_TS}")
pyx_messages(chinese chinese_count "${CHINESE_TS}")

set(code "// Made from the translations (resources/translations/*.ts) by cmake/PyxCoreTextTable.cmake
// when the program is built: a change belongs in the .ts files.
#include \"app/CoreTextTable.h\"

#include <array>

namespace pyx {

namespace {

constexpr std::array<CoreTextPair, ${english_count}> kEnglish{
${english}};

constexpr std::array<CoreTextPair, ${chinese_count}> kChinese{
${chinese}};

}  // namespace

std::span<const CoreTextPair> CoreTextTable(TextLanguage language) {
    switch (language) {
    case TextLanguage::English: return kEnglish;
    case TextLanguage::Chinese: return kChinese;
    case TextLanguage::AsWritten: break;
    }
    return {};
}

}  // namespace pyx
")

file(WRITE "${OUTPUT}" "${code}")

# Turns the page's files into a C++ source that holds their bytes, so that
# the panel serves them from its own memory, never from the file system.
#   cmake -DPAGE_DIR=<page/> -DOUTPUT=<page_files.cpp> -P embed_page.cmake
cmake_minimum_required(VERSION 3.25)

file(GLOB files RELATIVE ${PAGE_DIR} ${PAGE_DIR}/*)
list(SORT files)
set(arrays "")
set(table "")
set(number 0)
foreach(name IN LISTS files)
  if(name MATCHES "\\.html$")
    set(type "text/html; charset=utf-8")
  elseif(name MATCHES "\\.js$")
    set(type "text/javascript; charset=utf-8")
  elseif(name MATCHES "\\.css$")
    set(type "text/css; charset=utf-8")
  elseif(name MATCHES "\\.svg$")
    set(type "image/svg+xml")
  else()
    message(FATAL_ERROR "page/${name}: no content type known for it")
  endif()
  file(READ ${PAGE_DIR}/${name} hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char file_${number}[] = {${bytes}0};\n")
  string(APPEND table "    {\"/${name}\", \"${type}\", file_${number}, ${size}},\n")
  math(EXPR number "${number} + 1")
endforeach()

file(WRITE ${OUTPUT}.new "// Made by embed_page.cmake from the page's files; not edited by hand.
#include \"page_files.h\"

namespace velnor_panel {

namespace {

${arrays}
const page_file_t files[] = {
${table}};

} // namespace

const page_file_t* find_page_file(const std::string& path) {
    const std::string wanted = path == \"/\" ? \"/index.html\" : path;
    for (const page_file_t& file : files) {
        if (wanted == file.path) {
            return &file;
        }
    }
    return nullptr;
}

} // namespace velnor_panel
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)

# Writes the fenced block that follows "<!-- file: NAME -->" in DOC to OUT,
# so that the documentation's examples are built as they are written.
# usage: cmake -DDOC=doc.md -DNAME=file.c -DOUT=path -P extract-doc-file.cmake
file(READ ${DOC} text)
string(FIND "${text}" "<!-- file: ${NAME} -->\n```" mark)
if(mark EQUAL -1)
  message(FATAL_ERROR "${DOC} has no example file ${NAME}")
endif()
string(SUBSTRING "${text}" ${mark} -1 text)
string(FIND "${text}" "\n" line_end)           # end of the mark
string(SUBSTRING "${text}" ${line_end} -1 text)
string(SUBSTRING "${text}" 1 -1 text)
string(FIND "${text}" "\n" line_end)           # end of the opening fence
math(EXPR body_start "${line_end} + 1")
string(SUBSTRING "${text}" ${body_start} -1 text)
string(FIND "${text}" "\n```" body_end)
math(EXPR body_end "${body_end} + 1")
string(SUBSTRING "${text}" 0 ${body_end} body)
file(WRITE ${OUT} "${body}")

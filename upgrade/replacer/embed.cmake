# Writes the built replacement program into a C++ source as a byte array, so
# that the application carries it and can write it out when it needs it.
file(READ "${INPUT}" bytes HEX)
string(LENGTH "${bytes}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${bytes}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){24})" "\\1\n" body "${body}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from the built replacement program; do not edit.\n"
  "#include \"upgrade/upEmbeddedReplacer.h\"\n\n"
  "namespace {\nconst unsigned char Bytes[${size}] = {\n${body}\n};\n}  // namespace\n\n"
  "QByteArray EmbeddedReplacer()\n{\n"
  "    return QByteArray::fromRawData(reinterpret_cast<const char*>(Bytes), sizeof Bytes);\n}\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")

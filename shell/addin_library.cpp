// The add-in library's own source. The library is the whole core archive linked into one
// shared library (shell/CMakeLists.txt); its entry points and worksheet functions live in the
// other files of this folder. This unit only gives the library target a source of its own.

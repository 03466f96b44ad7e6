// The add-in library is the whole core archive linked into one shared library; its entry
// points and worksheet functions live in shell/. This unit only gives the library target a
// source of its own.

// web_gl_names.js: linked after Emscripten's WebGL library (--post-js). Its
// object names come from one counter shared by every kind of object and by
// the contexts, so the first texture would be named 2, or later once
// buffers and shaders exist. Like a desktop driver, each kind counts on its
// own here, from 1, so the loader's lines name the same textures as on the
// desktop.
var webContextCounter = 1;
GL.getNewId = function (table) {
  if (!Array.isArray(table)) return webContextCounter++;   // the contexts, kept in an object
  var id = Math.max(1, table.length);
  for (var i = table.length; i < id; i++) table[i] = null;
  return id;
};

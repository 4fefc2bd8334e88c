// web_gl_names.js: linked after Emscripten's WebGL library (--post-js). Its
// object names come from one counter shared by every kind of object and by
// the contexts, so the first texture would be named after the context, the
// renderer's shaders, program and buffer. Textures count on their own here,
// from 1, as a desktop driver names them, so the loader's lines name the
// same textures as on the desktop. (Emscripten keeps one table per kind, so
// a texture may share its number with another kind of object.)
var webSharedNewId = GL.getNewId;
GL.getNewId = function (table) {
  if (table !== GL.textures) return webSharedNewId(table);
  var id = Math.max(1, table.length);
  for (var i = table.length; i < id; i++) table[i] = null;
  return id;
};

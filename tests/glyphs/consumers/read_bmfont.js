// Reads bitmap-font descriptors as engines and web renderers do, with load-bmfont (text, XML and binary
// forms) and lays a line out from them with layout-bmfont-text; prints what they found as JSON:
//   node read_bmfont.js LINE FILE...
// { "fonts": [the parsed font of each file], "layout": [{ "id", "x", "y" } of each glyph of LINE,
//   laid out from the first file's font: the pen position with the kerning applied] }
'use strict';
const loadFont = require('load-bmfont');
const createLayout = require('layout-bmfont-text');

const [line, ...files] = process.argv.slice(2);
if (!line || files.length === 0) {
  console.error('usage: node read_bmfont.js LINE FILE...');
  process.exit(2);
}

function load(file) {
  return new Promise((resolve, reject) => {
    loadFont(file, (error, font) => (error ? reject(error) : resolve(font)));
  });
}

Promise.all(files.map(load))
  .then((fonts) => {
    const layout = createLayout({ font: fonts[0], text: line });
    const glyphs = layout.glyphs.map((g) => ({ id: g.data.id, x: g.position[0], y: g.position[1] }));
    process.stdout.write(JSON.stringify({ fonts, layout: glyphs }));
  })
  .catch((error) => {
    console.error(`read_bmfont: ${error.message || error}`);
    process.exit(1);
  });

// Reads mono float32 little-endian samples at 44.1 kHz from a file and prints
// essentia.js RhythmExtractor2013 (multifeature) results as "key: value" lines.
// Usage: node essentia-rhythm.js MODULE_DIR RAW_FILE
"use strict";
const fs = require("fs");
const path = require("path");

const [moduleDir, rawFile] = process.argv.slice(2);
const { EssentiaWASM, Essentia } = require(path.join(moduleDir, "essentia.js"));

const buf = fs.readFileSync(rawFile);
const samples = new Float32Array(buf.buffer, buf.byteOffset, Math.floor(buf.length / 4));
const essentia = new Essentia(EssentiaWASM);
const signal = essentia.arrayToVector(samples);
const r = essentia.RhythmExtractor2013(signal, 208, "multifeature", 40);
const beats = essentia.vectorToArray(r.ticks);
console.log("bpm: " + r.bpm.toFixed(3));
console.log("first-beat-ms: " + (beats.length ? (beats[0] * 1000).toFixed(1) : "nan"));
console.log("confidence: " + r.confidence.toFixed(3));
signal.delete();

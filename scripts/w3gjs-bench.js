// The npm package w3gjs over the same replays as the replay figure of bench_all,
// as a comparison only (never a dependency, never a source of expected values).
// The bench calls it only where node is installed; it fails quietly without w3gjs.
// Where w3gjs is installed in a folder of its own (npm install w3gjs there),
// QUILLMARK_W3GJS_DIR names that folder.
//   node scripts/w3gjs-bench.js bench ROUNDS FILES...   prints "SKIP <file>" for each file w3gjs
//                                                       cannot read, then "MS <best round in ms>"
//                                                       over the others
//   node scripts/w3gjs-bench.js apm FILES...            prints "file<TAB>player<TAB>APM"
"use strict";
const fs = require("fs");
const path = require("path");

function loadW3gjs() {
    const dir = process.env.QUILLMARK_W3GJS_DIR;
    const where = dir ? require.resolve("w3gjs", { paths: [dir] }) : require.resolve("w3gjs");
    return require(where).default;
}

async function main() {
    let W3GReplay;
    try {
        W3GReplay = loadW3gjs();
    } catch (e) {
        process.stderr.write("w3gjs is not installed\n");
        process.exit(3);
    }
    const [mode, ...rest] = process.argv.slice(2);
    if (mode === "bench") {
        const rounds = Math.max(1, parseInt(rest[0], 10) || 1);
        const files = [];
        for (const f of rest.slice(1)) {
            const bytes = fs.readFileSync(f);
            try {
                await new W3GReplay().parse(bytes);
                files.push(bytes);
            } catch (e) {
                process.stdout.write(`SKIP ${f}\n`);
            }
        }
        let best = Infinity;
        for (let r = 0; r < rounds + 2; ++r) {
            const start = process.hrtime.bigint();
            for (const bytes of files)
                await new W3GReplay().parse(bytes);  // one instance per file, as w3gjs asks
            const ms = Number(process.hrtime.bigint() - start) / 1e6;
            if (r >= 2 && ms < best)  // two rounds of warm-up
                best = ms;
        }
        process.stdout.write(`MS ${best.toFixed(3)}\n`);
    } else if (mode === "apm") {
        for (const file of rest) {
            let result;
            try {
                result = await new W3GReplay().parse(fs.readFileSync(file));
            } catch (e) {
                process.stderr.write(`w3gjs cannot read ${file}: ${e && e.message}\n`);
                continue;
            }
            for (const p of result.players)
                process.stdout.write(`${path.basename(file)}\t${p.name}\t${p.apm}\n`);
        }
    } else {
        process.stderr.write("usage: w3gjs-bench.js bench ROUNDS FILES... | apm FILES...\n");
        process.exit(2);
    }
}

main().catch((e) => {
    process.stderr.write(`w3gjs failed: ${e && e.message}\n`);
    process.exit(1);
});

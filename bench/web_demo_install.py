#!/usr/bin/env python3
"""The page's core against the native tool: a demo installation of a 2 MiB image on a simulated
sampler without delays, in the WebAssembly build (under node) and in vtflash-sim, side by side.

Usage: web_demo_install.py BUILD_DIR (build/; needs bin/vtflash-sim, bin/make-demo-image and
web-wasm/veltrin_core_node.cjs). The native time is the whole vtflash-sim run (start, image,
installation); the WebAssembly time is the installation call alone, and once more with node's
start and the module's compilation added. Prints the medians of RUNS runs and the ratio of the
installations; the WebAssembly build is meant to need at most twice the native time.
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = 15
SCENARIO = 'blocks=64,block_size=65536'
IMAGE_LENGTH = 2 * 1024 * 1024

NODE_SCRIPT = r'''
const [modulePath, scenario, length, runs] = process.argv.slice(1);
const createVeltrinCore = (await import('node:module')).createRequire(import.meta.url)(modulePath);
// This emscripten's loader would fetch the .wasm by its path, which node's fetch refuses.
const wasmBinary = (await import('node:fs')).readFileSync(modulePath.replace(/cjs$/, 'wasm'));
const core = await createVeltrinCore({ wasmBinary, onText() {}, onProgress() {} });
if (core.ccall('vt_use_demo', 'number', ['string', 'number'], [scenario, 0]) !== 0) process.exit(1);
const pointer = core._vt_make_demo_image(Number(length));
const startup = performance.now();  // since node started: its start, the module, the image
const times = [];
for (let i = 0; i < Number(runs); ++i) {
  const start = performance.now();
  const status = await core.ccall('vt_install', 'number', ['number', 'number'],
                                  [pointer, Number(length)], { async: true });
  times.push(performance.now() - start);
  if (status !== 0) process.exit(1);
}
console.log(JSON.stringify({ startup, times }));
'''


def native_times(build, image):
    environment = dict(os.environ, VTFLASH_SIM=SCENARIO)
    command = [os.path.join(build, 'bin', 'vtflash-sim'), '--firmware', image, '--yes']
    times = []
    for _ in range(RUNS):
        start = time.perf_counter()
        subprocess.run(command, env=environment, stdout=subprocess.DEVNULL, check=True)
        times.append((time.perf_counter() - start) * 1000)
    return times


def wasm_times(build):
    module = os.path.abspath(os.path.join(build, 'web-wasm', 'veltrin_core_node.cjs'))
    result = subprocess.run(['node', '--input-type=module', '-e', NODE_SCRIPT, module, SCENARIO,
                             str(IMAGE_LENGTH), str(RUNS)],
                            capture_output=True, text=True, check=True)
    return json.loads(result.stdout)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else 'build'
    with tempfile.TemporaryDirectory() as folder:
        image = os.path.join(folder, 'demo.bin')
        subprocess.run([os.path.join(build, 'bin', 'make-demo-image'), image, str(IMAGE_LENGTH)],
                       check=True)
        native = statistics.median(native_times(build, image))
    measured = wasm_times(build)
    wasm = statistics.median(measured['times'])
    print(f'Demo installation of a 2 MiB image, no sampler delays, median of {RUNS} runs:')
    print(f'  native vtflash-sim (whole run)   {native:8.2f} ms')
    print(f'  WebAssembly core under node      {wasm:8.2f} ms')
    print(f'  ... with node\'s start and compile {measured["startup"] + wasm:8.2f} ms')
    print(f'  ratio                            {wasm / native:8.2f} (at most 2 wanted)')


if __name__ == '__main__':
    main()

// web_bench.js: the browser page's figures, in Debian's Chromium (headless,
// SwiftShader's WebGL) on this machine: the page's size (each file, gzip
// level 9 as a server would send it), the time from loading the page to a
// usable Play button (its code compiled and data fetched), from Play to the
// first frame, and the show's frame rate at 640x480 over its first 20 s
// with the browser's usual 60 Hz animation frames; and how fast it can draw:
// the first 60 s of the show on the page's test frame clock (test-fps=60),
// frames drawn back to back, many per animation frame. Then the visitor's
// figures: Play to the music's first note against the first frame; how far
// the show's clock and the music are apart after 60 s with the page's CPU
// throttled 4x (DevTools protocol); on a 1.5 Mbit/s link, load to the
// progress on screen and the last byte to the first frame with Play pressed
// at once.
// Writes Markdown to standard output. Several runs; medians.
// Usage: node web_bench.js PAGE_DIR [RUNS]
// Depends on puppeteer-core (tests/web/package.json), python3, chromium.
'use strict';
const puppeteer = require('puppeteer-core');
const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const zlib = require('zlib');

const pageDir = path.resolve(process.argv[2]);
const runs = Number(process.argv[3] || 3);
const flags = ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync', '--disable-quic',
  '--autoplay-policy=no-user-gesture-required'];
const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'oargala-web-bench-'));
const median = (v) => v.slice().sort((a, b) => a - b)[Math.floor(v.length / 2)];
const kb = (n) => (n / 1024).toFixed(0) + ' KB';

function serve() {
  return new Promise((resolve, reject) => {
    const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1', '--directory', pageDir],
      { stdio: ['ignore', 'pipe', 'ignore'] });
    const timer = setTimeout(() => reject(new Error('the web server did not start')), 10000);
    server.stdout.on('data', (d) => {
      const port = /port (\d+)/.exec(d.toString());
      if (port) { clearTimeout(timer); resolve({ server, base: `http://127.0.0.1:${port[1]}/` }); }
    });
  });
}

async function waitFor(page, expression, ms) {
  await page.waitForFunction(expression, { timeout: ms, polling: 20 });
}

// One play: load, Play as soon as it can start, 20 s of the show.
// A fresh page at 640x480, Play pressed once everything has arrived.
async function openAndPlay(browser, base, query) {
  const page = await browser.newPage();
  await page.setViewport({ width: 640, height: 480 });
  await page.goto(base + 'index.html' + query, { timeout: 20000 });
  await waitFor(page, 'document.body.dataset.readyAt', 20000);
  await page.click('#play');
  return page;
}

async function run(browser, base) {
  const page = await openAndPlay(browser, base, '');
  const ready = await page.evaluate(() => Number(document.body.dataset.readyAt));
  await waitFor(page, 'window.oargala && window.oargala.firstFrameAt', 20000);
  const first = await page.evaluate(() => window.oargala.firstFrameAt - Number(document.body.dataset.playAt));
  // The frame rate from 2 s to 20 s of the show (the loading screen, the title cards).
  await new Promise((r) => setTimeout(r, 2000));
  const [f0, t0] = await page.evaluate(() => [window.oargala.presented, performance.now()]);
  await new Promise((r) => setTimeout(r, 18000));
  const [f1, t1] = await page.evaluate(() => [window.oargala.presented, performance.now()]);
  await page.keyboard.press('Escape');
  await page.close();
  return { ready, first, fps: (f1 - f0) / ((t1 - t0) / 1000) };
}

// Frames per second drawn back to back on the test frame clock: 60 s of the show.
// From the first frame on (start-up is measured above), timed by the page
// itself: the page is too busy drawing to answer the bench's polls.
async function drawRate(browser, base) {
  const page = await openAndPlay(browser, base, '?test-fps=60');
  await page.evaluate(() => { window.oargala.runTo = 3600; });
  await waitFor(page, 'window.oargala.framePixels && window.oargala.framePixels.frame === 3600', 300000);
  const seconds = await page.evaluate(() => (window.oargala.framePixels.at - window.oargala.firstFrameAt) / 1000);
  await page.close();
  return (3600 - 1) / seconds;
}

// The music's first note against the first frame, and after 60 s with the CPU
// throttled 4x how far the show's clock is from the music's.
async function oneClock(browser, base) {
  const page = await openAndPlay(browser, base, '');
  await waitFor(page, 'window.oargala && window.oargala.firstFrameAt && window.oargala.sounds && ' +
    'window.oargala.sounds[0].source', 20000);
  const note = await page.evaluate(() => window.oargala.sounds[0].startedAtPage - window.oargala.firstFrameAt +
    window.oargala.sounds[0].offset * 1000);
  const session = await page.createCDPSession();
  await session.send('Emulation.setCPUThrottlingRate', { rate: 4 });
  await new Promise((r) => setTimeout(r, 60000));
  const apart = await page.evaluate(() => {
    const c = window.oargala.clock;
    return c.music === null || c.music === undefined ? NaN : c.last - c.music;
  });
  const frames = await page.evaluate(() => window.oargala.presented);
  await session.send('Emulation.setCPUThrottlingRate', { rate: 1 });
  await page.close();
  return { note, apart, frames };
}

// At 1.5 Mbit/s: load to the progress on screen; Play at once; the last byte
// to the first frame.
async function slowLink(browser, base) {
  const page = await browser.newPage();
  await page.setViewport({ width: 640, height: 480 });
  await page.emulateNetworkConditions({ download: 1.5e6 / 8, upload: 1.5e6 / 8, latency: 40 });
  await page.goto(base + 'index.html', { timeout: 20000, waitUntil: 'domcontentloaded' });
  await waitFor(page, 'Number(document.body.dataset.arrived) > 0 && ' +
    'document.getElementById("progress").offsetParent !== null', 20000);
  const progress = await page.evaluate(() => performance.now());
  await page.click('#play');
  await waitFor(page, 'window.oargala && window.oargala.firstFrameAt', 120000);
  const first = await page.evaluate(() => window.oargala.firstFrameAt - Number(document.body.dataset.lastByteAt));
  await page.close();
  return { progress, first };
}

async function measure(base) {
  const browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium', headless: true,
    args: flags, userDataDir: fs.mkdtempSync(path.join(tmp, 'profile-')), protocolTimeout: 600000 });
  try {
    await run(browser, base);   // unmeasured: the browser's own start-up and caches
    const results = [];
    for (let i = 0; i < runs; i++) results.push(await run(browser, base));
    for (const r of results) r.drawn = await drawRate(browser, base);
    results.clock = await oneClock(browser, base);
    results.slow = await slowLink(browser, base);
    return results;
  } finally {
    await browser.close();
  }
}

async function main() {
  const sizes = {};
  let total = 0, totalGzip = 0;
  for (const name of ['index.html', 'oargala.js', 'oargala.wasm', 'data.json', 'oargala.data', 'icon.png', 'poster.png']) {
    const bytes = fs.readFileSync(path.join(pageDir, name));
    sizes[name] = [bytes.length, zlib.gzipSync(bytes, { level: 9 }).length];
    total += bytes.length;
    totalGzip += sizes[name][1];
  }
  let dataBytes = 0;
  for (const name of fs.readdirSync(path.join(pageDir, '..', '..', 'data'))) {
    dataBytes += fs.statSync(path.join(pageDir, '..', '..', 'data', name)).size;
  }
  const { server, base } = await serve();
  let paced;
  try {
    paced = await measure(base);
  } finally {
    server.kill();
  }
  const code = sizes['oargala.js'][1] + sizes['oargala.wasm'][1];
  const out = [];
  out.push('| file | size | gzip -9 |', '|---|---|---|');
  for (const [name, [raw, gz]] of Object.entries(sizes)) out.push(`| ${name} | ${kb(raw)} | ${kb(gz)} |`);
  out.push(`| whole page | ${kb(total)} | ${kb(totalGzip)} |`, '');
  out.push('| What | Figure | Target | Result |', '|---|---|---|---|');
  const row = (what, figure, target, ok) => out.push(`| ${what} | ${figure} | ${target} | ${ok ? 'met' : '**missed**'} |`);
  row('Code (.js + .wasm) after gzip', kb(code), '≤ 600 KB', code <= 600 * 1024);
  row('Whole page against data/ (' + kb(dataBytes) + ')', `${kb(total)}: data + ${kb(total - dataBytes)}`,
    '≤ data + 1 MB', total - dataBytes <= 1024 * 1024);
  const ms = (v) => v.toFixed(0) + ' ms';
  row('Page load to a usable Play (median)', `${ms(median(paced.map((r) => r.ready)))}`, 'none', true);
  row('Play to first frame (median, max)',
    `${ms(median(paced.map((r) => r.first)))}, ${ms(Math.max(...paced.map((r) => r.first)))}`, '< 1 s',
    Math.max(...paced.map((r) => r.first)) < 1000);
  const fps = (v) => v.toFixed(1) + ' fps';
  row('Frame rate 640x480, 60 Hz animation frames (median, min)',
    `${fps(median(paced.map((r) => r.fps)))}, ${fps(Math.min(...paced.map((r) => r.fps)))}`, '≥ 60 fps',
    median(paced.map((r) => r.fps)) >= 59.5);
  row('Frames drawn per second at 640x480, back to back, first 60 s of the show (median, min)',
    `${fps(median(paced.map((r) => r.drawn)))}, ${fps(Math.min(...paced.map((r) => r.drawn)))}`, '≥ 60 fps',
    median(paced.map((r) => r.drawn)) >= 60);
  const { note, apart, frames } = paced.clock;
  row('Play to the music\'s first note, against the first frame', ms(note), 'within one frame (17 ms)',
    Math.abs(note) <= 1000 / 60);
  row('Picture to sound after 60 s, CPU throttled 4x', `${ms(apart)} (${frames} frames in 60 s)`,
    'at most one frame (17 ms)', Math.abs(apart) <= 1000 / 60);
  row('1.5 Mbit/s: load to progress on screen', ms(paced.slow.progress), '≤ 1 s', paced.slow.progress <= 1000);
  row('1.5 Mbit/s, Play at once: last byte to first frame', ms(paced.slow.first), '≤ 1 s',
    paced.slow.first <= 1000);
  console.log(out.join('\n'));
}

main().catch((e) => { console.error('web_bench: ' + e.message); process.exitCode = 1; })
  .finally(() => fs.rmSync(tmp, { recursive: true, force: true }));

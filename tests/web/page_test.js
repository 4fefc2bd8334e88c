// page_test.js: the browser page (dist/oargala-web) in Debian's Chromium,
// headless, against the Linux build. One server on 127.0.0.1 and one browser
// for every case: Play starts the show with the loader's lines of the Linux
// build on the console; frames at chosen show times match the Linux
// capture's; Escape ends the show and the page says so; a broken picture
// leaves its texture empty and the show goes on; without WebGL the page says
// so in one sentence. The show's clocks are the page's test frame clock
// (test-fps=10), so frame n is drawn at the same show time as the capture's.
// Every wait is bounded: a fault fails within seconds.
// Usage: node page_test.js PAGE_DIR LINUX_OARGALA SOURCE_DIR
// Depends on puppeteer-core (npm, no browser download), python3, chromium,
// Emscripten's file_packager.
'use strict';
const puppeteer = require('puppeteer-core');
const { spawn, execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const [pageDir, linux, source] = process.argv.slice(2).map((p) => path.resolve(p));
const fps = 10;
// Every scene but the title cards, whose stars come from the C library's
// rand(), which differs between the two builds' C libraries.
const showTimes = [5, 60, 68, 85, 97, 110, 142, 155];
const brokenPicture = 'hopper.png', missingPicture = 'fisk.png';
const chromiumFlags = ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
  '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--disable-quic', '--autoplay-policy=no-user-gesture-required'];

const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'oargala-web-'));
let failures = 0;
function expect(what, ok, detail) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}${ok || !detail ? '' : ': ' + detail}`);
  if (!ok) failures++;
}

// Resolves with what check() returns once it is truthy; rejects after ms.
async function until(what, ms, check) {
  const end = Date.now() + ms;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) throw new Error(`${what}: not within ${ms / 1000} s`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

// The loader's lines as the Linux build prints them, run from folder.
function linuxLines(folder) {
  const out = execFileSync(linux, ['--capture', fs.mkdtempSync(path.join(tmp, 'lines-')) + '/', '--fps', '1', '--at', '0'],
    { cwd: folder, stdio: ['ignore', 'pipe', 'ignore'], timeout: 60000 });
  return out.toString().split('\n').filter((l) => l);
}

function readPam(file) {
  const bytes = fs.readFileSync(file);
  const end = bytes.indexOf('ENDHDR\n') + 7;
  const header = bytes.subarray(0, end).toString();
  const field = (name) => Number(new RegExp(name + ' (\\d+)').exec(header)[1]);
  return { width: field('WIDTH'), height: field('HEIGHT'), depth: field('DEPTH'), data: bytes.subarray(end) };
}

// The largest difference of one channel and how many pixels differ by more
// than the tolerance, between the page's frame (bottom row first, RGBA) and
// the capture's PAM (top row first, RGB).
function compare(frame, pam, tolerance) {
  let largest = 0, over = 0;
  for (let y = 0; y < pam.height; y++) {
    for (let x = 0; x < pam.width; x++) {
      const a = ((frame.height - 1 - y) * frame.width + x) * 4, b = (y * pam.width + x) * pam.depth;
      let worst = 0;
      for (let c = 0; c < 3; c++) worst = Math.max(worst, Math.abs(frame.rgba[a + c] - pam.data[b + c]));
      largest = Math.max(largest, worst);
      if (worst > tolerance) over++;
    }
  }
  return { largest, over };
}

function serve(root) {
  return new Promise((resolve, reject) => {
    const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1', '--directory', root],
      { stdio: ['ignore', 'pipe', 'ignore'] });
    const timer = setTimeout(() => reject(new Error('the web server did not start')), 10000);
    server.stdout.on('data', (data) => {
      const port = /port (\d+)/.exec(data.toString());
      if (port) { clearTimeout(timer); resolve({ server, base: `http://127.0.0.1:${port[1]}/` }); }
    });
  });
}

// A page of the show with its console's loader lines and its frames.
async function openShow(browser, url) {
  const page = await browser.newPage();
  await page.setViewport({ width: 640, height: 480 });
  const lines = [], errors = [];
  page.on('console', (m) => {
    // Standard output only (the boxes' lines go to standard error).
    if (m.type() === 'log' && /^\((tolm|png|jpeg|bmp|tga)\)/.test(m.text())) lines.push(m.text());
  });
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(url, { timeout: 10000 });
  await page.waitForSelector('#play', { visible: true, timeout: 5000 });
  await page.click('#play');
  return { page, lines, errors };
}

// Lets the show run to frame n and returns that frame's pixels; fails when
// the frames stop coming for 10 s.
async function frameAt(page, n) {
  await page.evaluate((n) => { window.oargala.runTo = n; }, n);
  let last = -1, since = Date.now();
  for (;;) {
    const [shown, at] = await page.evaluate(() =>
      [window.oargala.framePixels ? window.oargala.framePixels.frame : 0, window.oargala.frame || 0]);
    if (shown === n) break;
    if (at !== last) { last = at; since = Date.now(); }
    if (Date.now() - since > 10000) throw new Error(`frame ${n}: the show stopped at frame ${at}`);
    await new Promise((r) => setTimeout(r, 100));
  }
  const frame = await page.evaluate(() => {
    const f = window.oargala.framePixels;
    let text = '';
    for (let i = 0; i < f.rgba.length; i += 0x8000) text += String.fromCharCode.apply(null, f.rgba.subarray(i, i + 0x8000));
    return { width: f.width, height: f.height, rgba: btoa(text) };
  });
  frame.rgba = Buffer.from(frame.rgba, 'base64');
  return frame;
}

async function main() {
  // The served folder: the page, a data package with one broken picture, and nothing else.
  fs.symlinkSync(pageDir, path.join(tmp, 'page'));
  const brokenData = path.join(tmp, 'broken-src');
  fs.cpSync(path.join(source, 'data'), path.join(brokenData, 'data'), { recursive: true });
  fs.writeFileSync(path.join(brokenData, 'data', brokenPicture), 'not a picture at all\n');
  fs.rmSync(path.join(brokenData, 'data', missingPicture));
  fs.mkdirSync(path.join(tmp, 'broken'));
  execFileSync('python3', ['/usr/share/emscripten/tools/file_packager.py', path.join(tmp, 'broken', 'oargala.data'),
    '--preload', 'data@/data', '--js-output=' + path.join(tmp, 'broken', 'data.js')],
  { cwd: brokenData, stdio: 'ignore', timeout: 60000 });

  const frames = path.join(tmp, 'frames/');
  execFileSync(linux, ['--capture', frames, '--fps', String(fps), '--at', showTimes.join(',')],
    { cwd: source, stdio: 'ignore', timeout: 300000 });

  const { server, base } = await serve(tmp);
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true, args: chromiumFlags,
    userDataDir: path.join(tmp, 'profile'), protocolTimeout: 30000,
  });
  try {
    // ---- Play, the loader's lines, the frames, Escape ------------------------
    const show = await openShow(browser, `${base}page/index.html?test-fps=${fps}`);
    const expected = linuxLines(source);
    await until('the loader\'s lines', 20000, () => show.lines.length >= expected.length).catch(() => {});
    expect('Play starts the show: the loader\'s lines of the 33 pictures as on Linux',
      show.lines.filter((l) => l.startsWith('(tolm) loading file:')).length === 33 &&
      show.lines.join('\n') === expected.join('\n'), `${show.lines.length} lines, first ${show.lines[0]}`);

    for (const t of showTimes) {
      const n = Math.ceil(t * fps);
      const frame = await frameAt(show.page, n);
      const pam = path.join(tmp, `frame-${n}.pam`);
      execFileSync(linux, ['--decode', path.join(frames, `frame-${String(n).padStart(5, '0')}.png`), pam],
        { stdio: 'ignore' });
      // SwiftShader filters textures and rounds colours a little otherwise
      // than Mesa's llvmpipe (seen: 7 levels, the loading screen's scaled
      // pictures), and puts some pixels on the edges of the rotating box on
      // the other side of the edge (seen: 464 pixels); a wrong picture, place
      // or scene moves many thousands.
      const { largest, over } = compare(frame, readPam(pam), 8);
      expect(`frame at ${t} s matches the Linux capture's (each channel within 8 but in 1000 pixels)`,
        frame.width === 640 && frame.height === 480 && over <= 1000,
        `${over} pixels differ by more than 8, up to ${largest}`);
    }
    expect('the page\'s title shows the frame rate', (await show.page.title()).endsWith(' [fps: 10.00]'),
      await show.page.title());

    await show.page.keyboard.press('Escape');
    const ended = await until('the end', 5000, () => show.page.$eval('#ended', (e) => !e.hidden && e.textContent))
      .catch(() => '');
    expect('Escape ends the show and the page says so', ended.includes('The show has ended.'), ended);
    expect('no script errors', show.errors.length === 0, show.errors.join('; '));
    await show.page.close();

    // ---- a broken picture --------------------------------------------------
    const broken = await openShow(browser, `${base}page/index.html?test-fps=${fps}&test-data=../broken/`);
    const brokenExpected = linuxLines(brokenData);
    await until('the loader\'s lines', 20000, () => broken.lines.length >= brokenExpected.length).catch(() => {});
    expect(`a broken ${brokenPicture} and no ${missingPicture}: the loader's lines as on Linux`,
      broken.lines.join('\n') === brokenExpected.join('\n'), broken.lines.join(' | '));
    const later = await frameAt(broken.page, 60 * fps).then(() => true, () => false);
    const notes = await broken.page.$eval('#notes', (e) => e.textContent);
    expect('the show goes on to 60 s, the missing picture\'s box a note on the page',
      later && notes === `(tolm) Load: Could not open file: data/${missingPicture}`, notes);
    await broken.page.evaluate(() => { window.oargala.runTo = 1e9; });
    const over = await until('the end of the show', 60000, () =>
      broken.page.$eval('#ended', (e) => !e.hidden && e.textContent)).catch(() => '');
    const at = await broken.page.evaluate(() => window.oargala.frame);
    expect('the show ends by itself after 159 s and the page says so',
      over.includes('The show has ended.') && at > 159 * fps && at <= 160 * fps, `at frame ${at}`);
    await broken.page.close();

    // ---- no WebGL: the real browser with WebGL switched off -------------------
    const dom = execFileSync('/usr/bin/chromium', [...chromiumFlags, '--headless', '--disable-webgl',
      '--user-data-dir=' + path.join(tmp, 'profile-no-webgl'), '--dump-dom', `${base}page/index.html`],
    { stdio: ['ignore', 'pipe', 'ignore'], timeout: 30000 }).toString();
    expect('without WebGL the page says so in one sentence and offers no Play',
      /<p id="no-webgl">This browser cannot play the show: it has no WebGL.<\/p>/.test(dom) &&
      /<button id="play" type="button" hidden/.test(dom), dom.slice(0, 300));
  } finally {
    await browser.close();
    server.kill();
  }

}

main().catch((e) => { expect('the test ran to its end', false, e.message); })
  .finally(() => {
    fs.rmSync(tmp, { recursive: true, force: true });
    console.log(failures ? `${failures} failed` : 'all passed');
    process.exit(failures ? 1 : 0);
  });

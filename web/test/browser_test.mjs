// Tests of the page in a real browser: Debian's Chromium, headless, with software WebGL.
//
//   node web/test/browser_test.mjs --site DIR --native-frames DIR --times T1,T2,... [--out DIR]
//                                  [--sharp-frames DIR --sharp-times T1,...] [--speed-seconds S]
//
// - still frames: the page at ?t=T1, then the later times through tincrates.showTime, each
//   compared with the native build's frame at that time (capture --at, in --native-frames as
//   tT.TTT.png): within 2 of 255 per channel, but for the few pixels where the two
//   renderers pick differently at an edge and the glow's halos of those (see
//   `compareFrames`); and at a device pixel ratio of 2, ?size=1600x1200 in an 800 x 600
//   window against capture --size 1600x1200 (--sharp-frames): the picture drawn at that size
//   and shown pixel for pixel;
// - the canvas's drawing buffer and the picture follow the window's size in the screen's
//   pixels while playing, or stay at ?size=WxH; a bad ?size is refused in one line;
// - playing: a click starts the sound and the frames, the music clock moves at its own pace,
//   and stopping ends the run with exit code 0;
// - no page error, console error, WebGL error, failed request or message box anywhere; and
//   a folder without the data ends the run with the native program's message;
// - speed: frames per second playing without waiting for the display, the download size and
//   the time to the first frame, printed (not judged).
//
// The screenshots, the native frames beside them and their differences go to --out.
import { promises as fs } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { PNG } from 'pngjs';
import puppeteer from 'puppeteer-core';
import { serve } from '../serve.mjs';

const options = {
    site: 'build-web/site',
    nativeFrames: null,
    times: [],
    out: 'build-web/test-output',
    sharpFrames: null,
    sharpTimes: [],
    speedSeconds: 10,
    chromium: process.env.CHROMIUM || '/usr/bin/chromium',
};
for (let i = 2; i < process.argv.length; ++i) {
    const name = process.argv[i];
    const value = process.argv[++i];
    if (name === '--site') options.site = value;
    else if (name === '--native-frames') options.nativeFrames = value;
    else if (name === '--times') options.times = value.split(',').map(Number);
    else if (name === '--out') options.out = value;
    else if (name === '--sharp-frames') options.sharpFrames = value;
    else if (name === '--sharp-times') options.sharpTimes = value.split(',').map(Number);
    else if (name === '--speed-seconds') options.speedSeconds = Number(value);
    else throw new Error(`unknown option ${name}`);
}
if (!options.nativeFrames || options.times.length === 0)
    throw new Error('needs --native-frames DIR and --times T1,T2,...');
options.times.sort((a, b) => a - b);

const results = [];
function check(name, passed, detail = '') {
    results.push({ name, passed });
    console.log(`${passed ? 'ok    ' : 'FAILED'} ${name}${detail ? ': ' + detail : ''}`);
}

function frameName(t) {
    return `t${t.toFixed(3).padStart(7, '0')}.png`;
}

// Two frames of the same size, pixel by pixel, on red, green and blue: within 2 of 255,
// except for the pixels that a different pick explains. Both renderers compute what the
// graphics device asks in the same fixed point (it filters and blends the glow's passes in
// its shaders in the browser), but where a pixel's centre lies on a triangle's edge, a
// texel's boundary or between two nearly equal depths, the last bits of their interpolation
// decide, and the pixel shows the other side outright. The glow draws the scene a second
// time into a 256 x 128 texture, where such picks are larger, and its blur spreads each into
// a halo of a few levels; the brighter the edge (a lamp, a strip light), the stronger the
// halo. So a frame passes when at most 7 % of its pixels lie beyond 2 (the halos; 5.6 % at
// most over 60 moments of the production), at most 0.5 % beyond 8 (the picks and the
// strongest halos; 0.39 % at most), and its channels lie within 0.6 of 255 on average (0.56
// at most, of which the halos make up nearly all), so that a drift of the whole picture by
// half a level fails.
function compareFrames(web, native) {
    const diff = new PNG({ width: web.width, height: web.height });
    let beyond = 0;
    let beyondHalo = 0;
    let largest = 0;
    let sum = 0;
    for (let i = 0; i < web.data.length; i += 4) {
        let pixelLargest = 0;
        for (let c = 0; c < 3; ++c) {
            const d = Math.abs(web.data[i + c] - native.data[i + c]);
            pixelLargest = Math.max(pixelLargest, d);
            sum += d;
        }
        largest = Math.max(largest, pixelLargest);
        if (pixelLargest > 2)
            ++beyond;
        if (pixelLargest > 8)
            ++beyondHalo;
        // The difference picture: black where equal, grey within 2, red beyond.
        const shade = pixelLargest > 2 ? 255 : pixelLargest * 40;
        diff.data[i] = shade;
        diff.data[i + 1] = pixelLargest > 2 ? 0 : shade;
        diff.data[i + 2] = pixelLargest > 2 ? 0 : shade;
        diff.data[i + 3] = 255;
    }
    const pixels = web.width * web.height;
    const mean = sum / (pixels * 3);
    return {
        share: beyond / pixels,
        haloShare: beyondHalo / pixels,
        largest,
        mean,
        passed: beyond <= pixels * 0.07 && beyondHalo <= pixels * 0.005 && mean <= 0.6,
        diff,
    };
}

async function newPage(browser, problems,
    viewport = { width: 640, height: 480, deviceScaleFactor: 1 }) {
    const page = await browser.newPage();
    await page.setViewport(viewport);
    page.on('pageerror', error => problems.push('page error: ' + error.message));
    page.on('console', message => {
        if (message.type() === 'error')
            problems.push('console error: ' + message.text());
        // Chromium reports a WebGL call that fails as a warning ("WebGL: INVALID_OPERATION:
        // bindBuffer: ...", "GL_INVALID_FRAMEBUFFER_OPERATION: ...").
        else if (/WebGL: [A-Z_]+:|GL_INVALID_/.test(message.text()))
            problems.push('WebGL error: ' + message.text());
    });
    page.on('requestfailed', request => problems.push('request failed: ' + request.url()));
    page.on('response', response => {
        // A production without a data/ folder answers data/index.txt with 404, as it should.
        if (response.status() >= 400 && !response.url().endsWith('/data/index.txt'))
            problems.push(`HTTP ${response.status()}: ${response.url()}`);
    });
    page.on('dialog', async dialog => {
        problems.push('message box: ' + dialog.message());
        await dialog.dismiss();
    });
    return page;
}

async function screenshotCanvas(page, clip = { x: 0, y: 0, width: 640, height: 480 }) {
    const bytes = await page.screenshot({ type: 'png', clip });
    return PNG.sync.read(Buffer.from(bytes));
}

// Still frames are 640 x 480 unless the address names a size (`run`), as capture --at's.
async function testStillFrames(browser, base, run = { label: '', size: '',
    times: options.times, frames: options.nativeFrames, width: 640, height: 480, ratio: 1 }) {
    const problems = [];
    const page = await newPage(browser, problems,
        { width: run.width, height: run.height, deviceScaleFactor: run.ratio });
    const started = Date.now();
    await page.goto(`${base}/?t=${run.times[0]}${run.size}`);
    await page.waitForFunction(() => window.tincrates !== undefined
        && window.tincrates.stillShown !== undefined, { timeout: 120000 });
    await page.evaluate(() => window.tincrates.stillShown);
    const firstStillMs = Date.now() - started;
    for (const [i, t] of run.times.entries()) {
        if (i > 0)
            await page.evaluate(time => window.tincrates.showTime(time), t);
        const web = await screenshotCanvas(page, { x: 0, y: 0, width: run.width,
            height: run.height });
        const name = run.label.replace(/ x /, 'x').replace(/ $/, '-') + frameName(t);
        await fs.writeFile(path.join(options.out, 'web-' + name), PNG.sync.write(web));
        const nativeBytes = await fs.readFile(path.join(run.frames, frameName(t)));
        const native = PNG.sync.read(nativeBytes);
        await fs.writeFile(path.join(options.out, 'native-' + name), nativeBytes);
        if (web.width !== native.width || web.height !== native.height) {
            check(`${run.label}frame at ${t} has the native size`, false,
                `${web.width}x${web.height}`);
            continue;
        }
        const result = compareFrames(web, native);
        await fs.writeFile(path.join(options.out, 'diff-' + name), PNG.sync.write(result.diff));
        check(`${run.label}frame at ${t} matches the native frame`, result.passed,
            `mean difference ${result.mean.toFixed(2)} of 255; ` +
            `${(100 * result.share).toFixed(2)} % of pixels beyond 2, ` +
            `${(100 * result.haloShare).toFixed(2)} % beyond 8, ` +
            `largest ${result.largest}`);
    }
    await page.evaluate(() => window.tincrates.stop());
    const exitCode = await page.evaluate(() => window.tincrates.ended);
    check(`the ${run.label}still run ends with exit code 0`, exitCode === 0,
        `exit code ${exitCode}`);
    const errors = await page.evaluate(() => window.tincrates.errors);
    check(`the ${run.label}still page reports no errors`,
        problems.length === 0 && errors.length === 0,
        [...problems, ...errors].join('; '));
    const timings = await page.evaluate(() => window.tincrates.timings);
    await page.close();
    return { firstStillMs, timings };
}

async function testPlaying(browser, base) {
    const problems = [];
    const page = await newPage(browser, problems);
    await page.goto(`${base}/`);
    await page.waitForFunction(() => window.tincrates !== undefined);
    await page.evaluate(() => window.tincrates.loaded);
    const framesBeforeClick = await page.evaluate(() => window.tincrates.frames);
    check('nothing plays before a click', framesBeforeClick === 0, `${framesBeforeClick} frames`);
    await page.click('#notice');
    await page.waitForFunction(() => window.tincrates.frames >= 5, { timeout: 60000 });
    // The music is the clock: over a stretch of wall-clock time the demo time moves by
    // 2.149 beats a second, give or take the audio device's buffering.
    const first = await page.evaluate(() => [performance.now(), window.tincrates.demoTime]);
    await new Promise(resolve => setTimeout(resolve, 3000));
    const second = await page.evaluate(() => [performance.now(), window.tincrates.demoTime]);
    const beatsPerSecond = (second[1] - first[1]) / ((second[0] - first[0]) / 1000);
    check('the music clock runs at 2.149 beats a second', Math.abs(beatsPerSecond - 2.149) < 0.25,
        `${beatsPerSecond.toFixed(3)} beats a second`);
    const audioState = await page.evaluate(() => window.Module.audioContext
        ? window.Module.audioContext.state : 'none');
    check('the sound plays on a running audio context', audioState === 'running', audioState);
    await page.evaluate(() => window.tincrates.stop());
    const exitCode = await page.evaluate(() => window.tincrates.ended);
    check('stopping ends the run with exit code 0', exitCode === 0, `exit code ${exitCode}`);
    const errors = await page.evaluate(() => window.tincrates.errors);
    check('the playing page reports no errors', problems.length === 0 && errors.length === 0,
        [...problems, ...errors].join('; '));
    await page.close();
}

// Plays `address` in windows of the sizes and pixel ratios of `steps` in turn; at each, the
// canvas's drawing buffer, its place on the page, the picture the program draws and the
// pixels of a screenshot of the canvas are as given.
async function testPictureSize(browser, base, address, steps) {
    const problems = [];
    const page = await newPage(browser, problems);
    await page.goto(`${base}/${address}`);
    await page.waitForFunction(() => window.tincrates !== undefined);
    await page.evaluate(() => window.tincrates.loaded);
    await page.click('#notice');
    for (const [width, height, ratio, buffer, shown, picture] of steps) {
        await page.setViewport({ width, height, deviceScaleFactor: ratio });
        // The frame under way may be of the size before.
        const frames = await page.evaluate(() => window.tincrates.frames);
        await page.waitForFunction((n, [w, h]) => window.tincrates.frames >= n + 2
            && window.tincrates.pictureSize.width === w
            && window.tincrates.pictureSize.height === h,
        { timeout: 20000 }, frames, picture).catch(() => {});
        const seen = await page.evaluate(() => {
            const canvas = document.getElementById('canvas');
            const box = canvas.getBoundingClientRect();
            const picture = window.tincrates.pictureSize;
            return [canvas.width, canvas.height, box.x, box.y, box.width, box.height,
                picture.width, picture.height];
        });
        const [x, y, w, h] = shown;
        const shot = await screenshotCanvas(page, { x, y, width: w, height: h });
        check(`${address || 'playing'} in ${width} x ${height} at a pixel ratio of ${ratio}: ` +
            `buffer ${buffer.join('x')}, at ${shown}, picture ${picture.join('x')}`,
            String(seen) === String([...buffer, ...shown, ...picture])
                && shot.width === w * ratio && shot.height === h * ratio,
            `${seen}, screenshot ${shot.width}x${shot.height}`);
    }
    await page.evaluate(() => window.tincrates.stop());
    const exitCode = await page.evaluate(() => window.tincrates.ended);
    const errors = await page.evaluate(() => window.tincrates.errors);
    check(`${address || 'playing'}: resized while playing, ends with exit code 0, no errors`,
        exitCode === 0 && problems.length === 0 && errors.length === 0,
        `exit code ${exitCode}; ${[...problems, ...errors].join('; ')}`);
    await page.close();
}

// A bad size is refused in the program's words, before anything is fetched or drawn.
async function testBadSize(browser, base, address, message) {
    const problems = [];
    const page = await newPage(browser, problems);
    const fetched = [];
    page.on('request', request => fetched.push(request.url()));
    await page.goto(`${base}/${address}`);
    await page.waitForFunction(() => window.tincrates !== undefined);
    const exitCode = await page.evaluate(() => window.tincrates.ended);
    const [shown, errors, frames] = await page.evaluate(() => [
        document.getElementById('notice').innerText, window.tincrates.errors,
        window.tincrates.frames]);
    await page.close();
    check(`${address} is refused with one line on the page`, exitCode === 1
        && String(errors) === message && shown.includes(message) && frames === 0
        && !shown.includes('Click') && !fetched.some(url => /stashpack|data\//.test(url))
        && problems.length === 0, `exit code ${exitCode}; ${JSON.stringify(shown)}`);
}

// A folder without the production: the page ends the run and says what the native program
// says, in the browser's message box and on the page.
async function testMissingData(browser) {
    const folder = await fs.mkdtemp(path.join(os.tmpdir(), 'tincrates-site-'));
    try {
        for (const name of ['index.html', 'tincrates.js', 'tincrates_web.js', 'tincrates_web.wasm'])
            await fs.copyFile(path.join(options.site, name), path.join(folder, name));
        await fs.mkdir(path.join(folder, 'data'));
        await fs.writeFile(path.join(folder, 'data', 'index.txt'), '');
        const server = await serve(folder);
        const problems = [];
        const page = await newPage(browser, problems);
        await page.goto(`http://127.0.0.1:${server.address().port}/?t=10`);
        await page.waitForFunction(() => window.tincrates !== undefined);
        const exitCode = await page.evaluate(() => window.tincrates.ended);
        const shown = await page.evaluate(() => document.getElementById('notice').innerText);
        await page.close();
        server.close();
        const box = problems.find(p => p.startsWith('message box: ')) || '';
        const message = 'Failed to load soundtrk.mp3\nfile not found';
        check('without the data the run ends with exit code 1 and says why',
            exitCode === 1 && box.includes(message) && shown.includes(message),
            `exit code ${exitCode}; ${JSON.stringify(box)}`);
    } finally {
        await fs.rm(folder, { recursive: true, force: true });
    }
}

async function measureSpeed(browser, base) {
    const problems = [];
    const page = await newPage(browser, problems);
    await page.goto(`${base}/?unpaced`);
    await page.waitForFunction(() => window.tincrates !== undefined);
    await page.evaluate(() => window.tincrates.loaded);
    const loadedMs = await page.evaluate(() => window.tincrates.timings.loadedMs);
    await page.click('#notice');
    await page.waitForFunction(() => window.tincrates.frames >= 1, { timeout: 60000 });
    const clickToFirstFrameMs = await page.evaluate(
        () => window.tincrates.timings.firstFrameMs - window.tincrates.timings.startMs);
    // The opening seconds draw little; the measure starts past the first beats.
    const startFrames = await page.evaluate(() => [performance.now(), window.tincrates.frames]);
    await new Promise(resolve => setTimeout(resolve, options.speedSeconds * 1000));
    const endFrames = await page.evaluate(() => [performance.now(), window.tincrates.frames]);
    await page.evaluate(() => window.tincrates.stop());
    await page.evaluate(() => window.tincrates.ended);
    await page.close();
    const seconds = (endFrames[0] - startFrames[0]) / 1000;
    const framesPerSecond = (endFrames[1] - startFrames[1]) / seconds;
    return { framesPerSecond, loadedMs, clickToFirstFrameMs, problems };
}

async function main() {
    await fs.mkdir(options.out, { recursive: true });
    const server = await serve(options.site);
    const base = `http://127.0.0.1:${server.address().port}`;
    const profile = await fs.mkdtemp(path.join(os.tmpdir(), 'tincrates-chromium-'));
    const browser = await puppeteer.launch({
        executablePath: options.chromium,
        headless: true,
        userDataDir: profile,
        args: [
            '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
            '--disable-background-networking', '--disable-component-update', '--disable-sync',
            // WebGL on the CPU: SwiftShader, which Chromium offers without a GPU only when
            // asked.
            '--enable-unsafe-swiftshader', '--use-angle=swiftshader',
            // A hidden headless page must keep drawing and playing at its pace.
            '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
            '--disable-backgrounding-occluded-windows',
        ],
    });
    try {
        const still = await testStillFrames(browser, base);
        if (options.sharpFrames)
            await testStillFrames(browser, base, { label: '1600 x 1200 ', size: '&size=1600x1200',
                times: options.sharpTimes, frames: options.sharpFrames, width: 800, height: 600,
                ratio: 2 });
        await testPlaying(browser, base);
        // Headless Chromium reports a pixel ratio changed alone neither as a resize nor to a
        // media query, so here it changes with the window's size. Below 640 x 480 the canvas
        // shows the 640 x 480 picture scaled down.
        await testPictureSize(browser, base, '', [
            [800, 600, 2, [1600, 1200], [0, 0, 800, 600], [1600, 1200]],
            [1000, 900, 2, [2000, 1500], [0, 75, 1000, 750], [2000, 1500]],
            [1100, 750, 1, [1000, 750], [50, 0, 1000, 750], [1000, 750]],
            [400, 400, 1, [400, 300], [0, 50, 400, 300], [640, 480]]]);
        await testPictureSize(browser, base, '?size=640x480', [
            [800, 600, 2, [640, 480], [0, 0, 800, 600], [640, 480]],
            [1000, 900, 2, [640, 480], [0, 75, 1000, 750], [640, 480]]]);
        // Smaller than the program would draw for such a canvas by itself.
        await testPictureSize(browser, base, '?size=320x240',
            [[640, 480, 1, [320, 240], [0, 0, 640, 480], [320, 240]]]);
        await testBadSize(browser, base, '?size=640x481',
            'tincrates: ?size takes a 4:3 size such as 640x480 or 1440x1080, not 640x481');
        await testBadSize(browser, base, '?t=10&size=wide',
            'tincrates: ?size takes a size in pixels such as 1440x1080, not "wide"');
        await testBadSize(browser, base, '?size=160x120',
            'tincrates: ?size 160x120 is too small: at least 320x240');
        await testMissingData(browser);
        const speed = await measureSpeed(browser, base);
        check('the speed run reports no errors', speed.problems.length === 0,
            speed.problems.join('; '));
        const sizes = {};
        for (const name of ['tincrates_web.wasm', 'tincrates_web.js', 'tincrates.js',
            'index.html', 'stashpack']) {
            const stat = await fs.stat(path.join(options.site, name)).catch(() => ({ size: 0 }));
            sizes[name] = stat.size;
        }
        const total = Object.values(sizes).reduce((a, b) => a + b, 0);
        const listed = Object.entries(sizes).map(([n, s]) => `${n} ${(s / 1024).toFixed(0)} KiB`);
        console.log(`speed: ${speed.framesPerSecond.toFixed(1)} frames per second in headless ` +
            `Chromium (SwiftShader WebGL 2) over ${options.speedSeconds} s from the first ` +
            `frame, not waiting for the display`);
        console.log(`download: ${listed.join(', ')}; ${(total / 1048576).toFixed(2)} MiB in all`);
        console.log('time to first frame: data and program ready after ' +
            `${speed.loadedMs.toFixed(0)} ms, first frame ` +
            `${speed.clickToFirstFrameMs.toFixed(0)} ms after the click; a still frame ` +
            `(?t=${options.times[0]}) ${still.firstStillMs} ms after the page was asked for`);
    } finally {
        await browser.close();
        server.close();
        await fs.rm(profile, { recursive: true, force: true });
    }
    const failed = results.filter(r => !r.passed).length;
    console.log(`${results.length - failed} passed, ${failed} failed`);
    process.exitCode = failed === 0 ? 0 : 1;
}

main().catch(error => {
    console.error(error);
    process.exitCode = 1;
});

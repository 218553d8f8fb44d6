// Tests of the page in a real browser: Debian's Chromium, headless, with software WebGL.
//
//   node web/test/browser_test.mjs --site DIR --native-frames DIR --times T1,T2,... [--out DIR]
//                                  [--sharp-frames DIR --sharp-times T1,...]
//                                  [--speed-seconds S]
//
// - still frames: the page at ?t=T1, then the later times through tincrates.showTime, each
//   compared with the native build's frame at that time (capture --at, in --native-frames as
//   tT.TTT.png): within 2 of 255 per channel, but for the few pixels where the two
//   renderers pick differently at an edge and the glow's halos of those (see
//   `compareFrames`);
// - the picture's size: at a device pixel ratio of 2, ?size=1600x1200 in an 800 x 600 window
//   shows the frames of capture --size 1600x1200 (--sharp-frames) pixel for pixel on the
//   screen; playing, the canvas's drawing buffer and the picture follow the window's size
//   in the screen's pixels; ?size=640x480 keeps them at 640 x 480; a bad ?size is refused
//   with one line on the page;
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
options.sharpTimes.sort((a, b) => a - b);

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

// The window's area from x, y of the given size, in the screen's pixels.
async function screenshotArea(page, clip = { x: 0, y: 0, width: 640, height: 480 }) {
    const bytes = await page.screenshot({ type: 'png', clip });
    return PNG.sync.read(Buffer.from(bytes));
}

// The page's still frames at `times`, from the page at `address` (which names the first),
// each compared with the native frame of that time in `nativeFrames`; the screenshots are of
// the window's top left `width` x `height`, in a window that size.
async function compareStillFrames(browser, base, { address, times, nativeFrames, viewport,
    prefix }) {
    const problems = [];
    const page = await newPage(browser, problems, viewport);
    const started = Date.now();
    await page.goto(`${base}/${address}`);
    await page.waitForFunction(() => window.tincrates !== undefined
        && window.tincrates.stillShown !== undefined, { timeout: 120000 });
    await page.evaluate(() => window.tincrates.stillShown);
    const firstStillMs = Date.now() - started;
    for (const [i, t] of times.entries()) {
        if (i > 0)
            await page.evaluate(time => window.tincrates.showTime(time), t);
        const web = await screenshotArea(page,
            { x: 0, y: 0, width: viewport.width, height: viewport.height });
        const name = prefix + frameName(t);
        await fs.writeFile(path.join(options.out, 'web-' + name), PNG.sync.write(web));
        const nativeBytes = await fs.readFile(path.join(nativeFrames, frameName(t)));
        const native = PNG.sync.read(nativeBytes);
        await fs.writeFile(path.join(options.out, 'native-' + name), nativeBytes);
        const what = `${prefix ? prefix.slice(0, -1) + ' ' : ''}frame at ${t}`;
        if (web.width !== native.width || web.height !== native.height) {
            check(`${what} has the native size`, false,
                `${web.width}x${web.height}, not ${native.width}x${native.height}`);
            continue;
        }
        const result = compareFrames(web, native);
        await fs.writeFile(path.join(options.out, 'diff-' + name), PNG.sync.write(result.diff));
        check(`${what} matches the native frame`, result.passed,
            `mean difference ${result.mean.toFixed(2)} of 255; ` +
            `${(100 * result.share).toFixed(2)} % of pixels beyond 2, ` +
            `${(100 * result.haloShare).toFixed(2)} % beyond 8, ` +
            `largest ${result.largest}`);
    }
    await page.evaluate(() => window.tincrates.stop());
    const exitCode = await page.evaluate(() => window.tincrates.ended);
    const errors = await page.evaluate(() => window.tincrates.errors);
    await page.close();
    return { firstStillMs, exitCode, problems: [...problems, ...errors] };
}

// Still frames are drawn at 640 x 480 unless the address names a size, as capture --at draws
// them.
async function testStillFrames(browser, base) {
    const still = await compareStillFrames(browser, base, {
        address: `?t=${options.times[0]}`,
        times: options.times,
        nativeFrames: options.nativeFrames,
        viewport: { width: 640, height: 480, deviceScaleFactor: 1 },
        prefix: '',
    });
    check('the still run ends with exit code 0', still.exitCode === 0,
        `exit code ${still.exitCode}`);
    check('the still page reports no errors', still.problems.length === 0,
        still.problems.join('; '));
    return still;
}

// ?size=1600x1200 in an 800 x 600 window at a device pixel ratio of 2: the program draws
// 1600 x 1200 and the page shows the canvas's pixels as the screen's, so the screenshot of
// the window is capture --size 1600x1200's frame, within the same bounds. A picture drawn
// at 640 x 480 and scaled up differs beyond 2 in about a third of the pixels.
async function testSharpStillFrames(browser, base) {
    if (!options.sharpFrames || options.sharpTimes.length === 0)
        return;
    const still = await compareStillFrames(browser, base, {
        address: `?t=${options.sharpTimes[0]}&size=1600x1200`,
        times: options.sharpTimes,
        nativeFrames: options.sharpFrames,
        viewport: { width: 800, height: 600, deviceScaleFactor: 2 },
        prefix: '1600x1200-',
    });
    check('the 1600 x 1200 still page ends with exit code 0 and reports no errors',
        still.exitCode === 0 && still.problems.length === 0,
        `exit code ${still.exitCode}; ${still.problems.join('; ')}`);
}

// Plays the page at `address` through windows of the sizes and pixel ratios of `steps`, in
// turn, and checks at each the canvas's place on the page, the size of its drawing buffer and
// that of the picture the program draws into it (reported with each frame), and that a
// screenshot of the canvas has the screen's pixels for it.
async function checkPictureFollows(browser, base, { address, steps, what }) {
    const problems = [];
    const page = await newPage(browser, problems, steps[0].viewport);
    await page.goto(`${base}/${address}`);
    await page.waitForFunction(() => window.tincrates !== undefined);
    await page.evaluate(() => window.tincrates.loaded);
    await page.click('#notice');
    for (const [i, step] of steps.entries()) {
        const { width, height, deviceScaleFactor } = step.viewport;
        const windowText = `${width} x ${height} window at a pixel ratio of `
            + deviceScaleFactor;
        if (i > 0)
            await page.setViewport(step.viewport);
        // The frame that started before the change is drawn at the old size; the one after
        // it at the new.
        const framesNow = await page.evaluate(() => window.tincrates.frames);
        const drawn = await page.waitForFunction(
            (frames, [w, h]) => window.tincrates.frames >= frames + 2
                && window.tincrates.pictureSize.width === w
                && window.tincrates.pictureSize.height === h,
            { timeout: 20000 }, framesNow, step.picture).then(() => true, () => false);
        const seen = await page.evaluate(() => {
            const canvas = document.getElementById('canvas');
            const box = canvas.getBoundingClientRect();
            return {
                buffer: [canvas.width, canvas.height],
                shown: [box.x, box.y, box.width, box.height],
                picture: window.tincrates.pictureSize,
            };
        });
        const shot = await screenshotArea(page, {
            x: seen.shown[0], y: seen.shown[1], width: seen.shown[2], height: seen.shown[3] });
        const [x, y, w, h] = step.shown;
        const screenSize = [w * deviceScaleFactor, h * deviceScaleFactor];
        check(`${what}: in an ${windowText} the canvas has a ${step.buffer.join(' x ')} buffer ` +
            `shown at ${w} x ${h} from ${x}, ${y} and the picture is ` +
            step.picture.join(' x '),
            drawn && String(seen.buffer) === String(step.buffer)
                && String(seen.shown) === String(step.shown)
                && shot.width === screenSize[0] && shot.height === screenSize[1],
            `buffer ${seen.buffer.join(' x ')}, shown at ${seen.shown.join(', ')}, picture ` +
            `${seen.picture ? seen.picture.width + ' x ' + seen.picture.height : 'none'}, ` +
            `screenshot ${shot.width} x ${shot.height}`);
    }
    await page.evaluate(() => window.tincrates.stop());
    const exitCode = await page.evaluate(() => window.tincrates.ended);
    const errors = await page.evaluate(() => window.tincrates.errors);
    check(`${what}: resizing while it plays ends with exit code 0 and no errors`,
        exitCode === 0 && problems.length === 0 && errors.length === 0,
        `exit code ${exitCode}; ${[...problems, ...errors].join('; ')}`);
    await page.close();
}

async function testPictureSizes(browser, base) {
    // Headless Chromium reports a pixel ratio changed alone to neither a resize nor a media
    // query, so the ratio changes here with the window's size.
    await checkPictureFollows(browser, base, {
        what: 'drawn at the size shown',
        address: '',
        steps: [
            { viewport: { width: 800, height: 600, deviceScaleFactor: 2 },
                buffer: [1600, 1200], shown: [0, 0, 800, 600], picture: [1600, 1200] },
            { viewport: { width: 1000, height: 900, deviceScaleFactor: 2 },
                buffer: [2000, 1500], shown: [0, 75, 1000, 750], picture: [2000, 1500] },
            { viewport: { width: 1100, height: 750, deviceScaleFactor: 1 },
                buffer: [1000, 750], shown: [50, 0, 1000, 750], picture: [1000, 750] },
            // A canvas smaller than 640 x 480 gets the 640 x 480 picture, scaled down.
            { viewport: { width: 400, height: 400, deviceScaleFactor: 1 },
                buffer: [400, 300], shown: [0, 50, 400, 300], picture: [640, 480] },
        ],
    });
    await checkPictureFollows(browser, base, {
        what: '?size=640x480',
        address: '?size=640x480',
        steps: [
            { viewport: { width: 800, height: 600, deviceScaleFactor: 2 },
                buffer: [640, 480], shown: [0, 0, 800, 600], picture: [640, 480] },
            { viewport: { width: 1000, height: 900, deviceScaleFactor: 2 },
                buffer: [640, 480], shown: [0, 75, 1000, 750], picture: [640, 480] },
        ],
    });
    // Smaller than the picture drawn for a canvas of that size, so the program's own.
    await checkPictureFollows(browser, base, {
        what: '?size=320x240',
        address: '?size=320x240',
        steps: [
            { viewport: { width: 640, height: 480, deviceScaleFactor: 1 },
                buffer: [320, 240], shown: [0, 0, 640, 480], picture: [320, 240] },
        ],
    });
}

// A size that is not a 4:3 size of at least 320 x 240 is refused before anything is fetched,
// in one line on the page; nothing plays.
async function testBadSizes(browser, base) {
    const cases = [
        ['?size=640x481', 'tincrates: ?size takes a 4:3 size such as 640x480 or 1440x1080, ' +
            'not 640x481'],
        ['?t=10&size=wide', 'tincrates: ?size takes a size in pixels such as 1920x1080, ' +
            'not "wide"'],
        ['?size=160x120', 'tincrates: ?size 160x120 is too small: at least 320x240'],
    ];
    for (const [address, message] of cases) {
        const problems = [];
        const page = await newPage(browser, problems);
        const requested = [];
        page.on('request', request => requested.push(request.url()));
        await page.goto(`${base}/${address}`);
        await page.waitForFunction(() => window.tincrates !== undefined);
        const exitCode = await page.evaluate(() => window.tincrates.ended);
        const shown = await page.evaluate(() => document.getElementById('notice').innerText);
        const errors = await page.evaluate(() => window.tincrates.errors);
        const frames = await page.evaluate(() => window.tincrates.frames);
        await page.close();
        const fetched = requested.filter(url => /\/(stashpack|data\/)/.test(url));
        check(`${address} is refused with one line on the page`,
            exitCode === 1 && errors.length === 1 && errors[0] === message
                && shown.includes(message) && !shown.includes('Click to play')
                && frames === 0 && fetched.length === 0 && problems.length === 0,
            `exit code ${exitCode}; ${JSON.stringify(shown)}; fetched ${fetched.join(', ')}; ` +
            problems.join('; '));
    }
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
        await testSharpStillFrames(browser, base);
        await testPlaying(browser, base);
        await testPictureSizes(browser, base);
        await testBadSizes(browser, base);
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

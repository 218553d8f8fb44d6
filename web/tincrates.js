// The page's side of the production: fetches the data files into the program's file system,
// waits for a click before the sound starts (browsers allow none before), starts the program,
// and answers its calls (frames shown, still frames, the end). It keeps the canvas on the
// largest 4:3 rectangle of the window, its drawing buffer the size of that rectangle in the
// screen's pixels, which the program draws its picture at; ?size=WxH in the address fixes
// the picture's size instead (640 x 480 for still frames unless given), which the browser
// scales. window.tincrates is what tests and the person at the console see:
//
//   tincrates.mode            'play', or 'still' with ?t=T in the address
//   tincrates.loaded          a promise, settled once the data and the program are in place
//   tincrates.start()         starts playing (as a click does); in still mode it has begun
//   tincrates.stillShown      a promise of the first still frame's demo time (still mode)
//   tincrates.showTime(t)     shows the still frame at the later demo time t; a promise of it
//   tincrates.stop()          ends the run as closing the window does
//   tincrates.ended           a promise of the program's exit code
//   tincrates.frames, .demoTime, .errors, .timings
//   tincrates.pictureSize     { width, height } the last frame was drawn at
'use strict';

(() => {
    const canvas = document.getElementById('canvas');
    const notice = document.getElementById('notice');
    const status = document.getElementById('status');
    const startTime = performance.now();

    const errors = [];
    const timings = {};
    const query = new URLSearchParams(location.search);
    const stillText = query.get('t');
    const mode = stillText === null ? 'play' : 'still';
    // For measuring speed: frames follow each other as fast as they render instead of at
    // the display's refresh.
    const isUnpaced = query.has('unpaced');
    const sizeText = query.get('size');
    // The picture's fixed size, or null while it follows the canvas. ?size=WxH is taken once
    // the program has checked it.
    let fixedSize = mode === 'still' ? { width: 640, height: 480 } : null;
    // Once the run has ended the canvas keeps its last frame: a new size would clear it.
    let isBufferFollowing = true;

    let resolveEnded;
    const ended = new Promise(resolve => { resolveEnded = resolve; });
    let resolveStill = null;     // settles the promise of the still frame being made
    let rejectStill = null;
    let answerNextTime = null;   // hands the program the next time it should show
    let lastStillTime = -1;

    const tincrates = {
        mode,
        frames: 0,
        demoTime: 0,
        pictureSize: null,
        errors,
        timings,
        ended,
        start: () => start(),
        stop: () => stop(),
        showTime: t => showTime(t),
    };
    window.tincrates = tincrates;

    function say(text) {
        status.textContent = text;
        notice.hidden = false;
    }

    function showError(text) {
        errors.push(text);
        let pre = notice.querySelector('pre');
        if (!pre) {
            pre = document.createElement('pre');
            notice.appendChild(pre);
        }
        pre.textContent += text + '\n';
        notice.hidden = false;
    }

    // The program's standard error carries its error messages and its notes.
    function printErr(text) {
        console.warn(text);
        if (!text.startsWith('tincrates: ') || !text.endsWith('plays silently'))
            showError(text);
    }

    // The largest 4:3 rectangle of an area, rounded as the program rounds it, so that it takes
    // a drawing buffer of this size whole as its picture.
    function fitFourByThree(width, height) {
        if (width * 3 > height * 4)
            return { width: Math.round(height * 4 / 3), height };
        if (width * 3 < height * 4)
            return { width, height: Math.round(width * 3 / 4) };
        return { width, height };
    }

    // Places the canvas on the largest 4:3 rectangle of the window, centred, and sizes its
    // drawing buffer to that rectangle in the screen's pixels (the window's size times
    // devicePixelRatio), so that the picture is drawn at the size it is shown at and shown
    // as drawn; or to the fixed size, which the browser scales. The corner lies on a whole
    // screen pixel too, so that the canvas's pixels are the screen's.
    function layOutCanvas() {
        const ratio = window.devicePixelRatio || 1;
        const areaWidth = Math.round(window.innerWidth * ratio);
        const areaHeight = Math.round(window.innerHeight * ratio);
        const shown = fitFourByThree(areaWidth, areaHeight);
        canvas.style.left = `${Math.floor((areaWidth - shown.width) / 2) / ratio}px`;
        canvas.style.top = `${Math.floor((areaHeight - shown.height) / 2) / ratio}px`;
        canvas.style.width = `${shown.width / ratio}px`;
        canvas.style.height = `${shown.height / ratio}px`;
        const buffer = fixedSize || shown;
        // Setting the size clears the canvas, even to the same size; the program draws its
        // next frame at the new one. A window shrunk to nothing keeps the last size.
        if (isBufferFollowing && buffer.width > 0 && buffer.height > 0
            && (canvas.width !== buffer.width || canvas.height !== buffer.height)) {
            canvas.width = buffer.width;
            canvas.height = buffer.height;
        }
    }

    // Zooming and moving the window to a screen of other density change devicePixelRatio,
    // which a browser need not report as a resize of the window.
    function watchPixelRatio() {
        const resolution = matchMedia(`(resolution: ${window.devicePixelRatio}dppx)`);
        resolution.addEventListener('change', () => {
            layOutCanvas();
            watchPixelRatio();
        }, { once: true });
    }

    async function fetchBytes(url, onProgress) {
        const response = await fetch(url);
        if (!response.ok)
            return null;
        const size = Number(response.headers.get('Content-Length')) || 0;
        const reader = response.body.getReader();
        const parts = [];
        let received = 0;
        for (;;) {
            const { done, value } = await reader.read();
            if (done)
                break;
            parts.push(value);
            received += value.length;
            if (onProgress)
                onProgress(received, size);
        }
        const bytes = new Uint8Array(received);
        let offset = 0;
        for (const part of parts) {
            bytes.set(part, offset);
            offset += part.length;
        }
        return bytes;
    }

    // The production's files as the program looks for them: the archive stashpack in the
    // current folder, and the folder data/ as the fallback for anything it does not hold.
    // A served data/ folder lists its files in data/index.txt, one name a line.
    async function fetchData(FS) {
        const archive = await fetchBytes('stashpack', (received, size) => {
            const mib = n => (n / 1048576).toFixed(1);
            say(size ? `Loading ${mib(received)} of ${mib(size)} MiB`
                     : `Loading ${mib(received)} MiB`);
        });
        let bytes = archive ? archive.length : 0;
        if (archive)
            FS.writeFile('/stashpack', archive);
        const index = await fetch('data/index.txt');
        if (index.ok) {
            const names = (await index.text()).split('\n').map(s => s.trim()).filter(s => s);
            for (const name of names) {
                if (name.split('/').includes('..'))
                    continue;
                const file = await fetchBytes('data/' + name);
                if (!file)
                    continue;
                const path = '/data/' + name;
                FS.mkdirTree(path.slice(0, path.lastIndexOf('/')));
                FS.writeFile(path, file);
                bytes += file.length;
            }
        }
        timings.dataBytes = bytes;
    }

    let resolveLoaded;
    let rejectLoaded;
    tincrates.loaded = new Promise((resolve, reject) => {
        resolveLoaded = resolve;
        rejectLoaded = reject;
    });
    tincrates.loaded.catch(() => {});

    let isStarted = false;

    function start() {
        if (isStarted || mode !== 'play')
            return;
        isStarted = true;
        // Made and resumed inside the click, the one moment a page may start sound.
        try {
            const context = new AudioContext({ latencyHint: 'interactive',
                sampleRate: Module.ccall('tincrates_sample_rate', 'number', [], []) });
            context.resume();
            Module.audioContext = context;
        } catch (error) {
            console.warn('no Web Audio: ' + error);
        }
        notice.hidden = true;
        canvas.classList.remove('waiting');
        timings.startMs = performance.now() - startTime;
        Module.callMain(sizeText === null ? [] : ['--size', sizeText]);
    }

    function stop() {
        if (answerNextTime) {
            const answer = answerNextTime;
            answerNextTime = null;
            answer(-1);
        } else if (Module._tincrates_request_close) {
            Module._tincrates_request_close();
        }
    }

    function showTime(t) {
        t = Number(t);
        if (mode !== 'still')
            return Promise.reject(new Error('showTime needs the still mode (?t=T)'));
        const endTime = Module.ccall('tincrates_end_time', 'number', [], []);
        if (!(t >= lastStillTime) || t > endTime)
            return Promise.reject(
                new Error(`times only go forward, up to ${endTime} (now ${lastStillTime})`));
        if (!answerNextTime)
            return Promise.reject(new Error('the still frame before is not shown yet'));
        const promise = new Promise((resolve, reject) => {
            resolveStill = resolve;
            rejectStill = reject;
        });
        const answer = answerNextTime;
        answerNextTime = null;
        answer(t);
        return promise;
    }

    const Module = {
        canvas,
        unpaced: isUnpaced,
        print: text => console.log(text),
        printErr,
        onFrame(demoTime, width, height) {
            if (tincrates.frames === 0)
                timings.firstFrameMs = performance.now() - startTime;
            tincrates.frames++;
            tincrates.demoTime = demoTime;
            tincrates.pictureSize = { width, height };
        },
        onStillFrame(demoTime, width, height) {
            lastStillTime = demoTime;
            tincrates.frames++;
            tincrates.demoTime = demoTime;
            tincrates.pictureSize = { width, height };
            canvas.classList.remove('waiting');
            if (timings.firstFrameMs === undefined)
                timings.firstFrameMs = performance.now() - startTime;
            return new Promise(answer => {
                answerNextTime = answer;
                // Settled after the answer is ready, so that the next showTime finds it.
                if (resolveStill) {
                    const resolve = resolveStill;
                    resolveStill = rejectStill = null;
                    resolve(demoTime);
                }
            });
        },
        onEnd(exitCode) {
            isBufferFollowing = false;
            if (rejectStill) {
                rejectStill(new Error('the run ended with exit code ' + exitCode));
                resolveStill = rejectStill = null;
            }
            resolveEnded(exitCode);
            if (mode === 'play' && exitCode === 0) {
                say('Click to play again');
                notice.onclick = () => location.reload();
            }
        },
        async onRuntimeInitialized() {
            // A bad size is refused before anything is fetched, in the program's words.
            if (sizeText !== null) {
                const problem = Module.ccall('tincrates_picture_size_problem', 'string',
                    ['string'], [sizeText]);
                if (problem) {
                    say('Cannot play');
                    showError('tincrates: ' + problem);
                    rejectLoaded(new Error(problem));
                    isBufferFollowing = false;
                    resolveEnded(1);
                    return;
                }
                const [width, height] = sizeText.split('x').map(Number);
                fixedSize = { width, height };
                layOutCanvas();
            }
            try {
                await fetchData(Module.FS);
            } catch (error) {
                showError('cannot load the data: ' + error);
                rejectLoaded(error);
                return;
            }
            timings.loadedMs = performance.now() - startTime;
            resolveLoaded();
            if (mode === 'still') {
                notice.hidden = true;
                tincrates.stillShown = new Promise((resolve, reject) => {
                    resolveStill = resolve;
                    rejectStill = reject;
                });
                tincrates.stillShown.catch(() => {});
                const sizeArguments = sizeText === null ? [] : ['--size', sizeText];
                Module.callMain(['--at', stillText, ...sizeArguments]);
            } else {
                say('Click to play (with sound)');
                notice.onclick = () => start();
            }
        },
    };
    // The program's own glue reads its settings from a global named Module.
    window.Module = Module;

    // A click on the picture while it plays toggles full screen.
    canvas.addEventListener('click', () => {
        if (document.fullscreenElement)
            document.exitFullscreen();
        else
            document.documentElement.requestFullscreen().catch(() => {});
    });

    layOutCanvas();
    watchPixelRatio();
    // Going full screen and back resizes the window too.
    window.addEventListener('resize', layOutCanvas);

    window.addEventListener('error', event => showError(String(event.message)));
    window.addEventListener('unhandledrejection', event => showError(String(event.reason)));

    const script = document.createElement('script');
    script.src = 'tincrates_web.js';
    script.onerror = () => showError('cannot load tincrates_web.js');
    document.body.appendChild(script);
})();

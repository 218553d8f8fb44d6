// The page's side of the production: fetches the data files into the program's file system,
// waits for a click before the sound starts (browsers allow none before), starts the program,
// and answers its calls (frames shown, still frames, the end). window.tincrates is what tests
// and the person at the console see:
//
//   tincrates.mode            'play', or 'still' with ?t=T in the address
//   tincrates.loaded          a promise, settled once the data and the program are in place
//   tincrates.start()         starts playing (as a click does); in still mode it has begun
//   tincrates.stillShown      a promise of the first still frame's demo time (still mode)
//   tincrates.showTime(t)     shows the still frame at the later demo time t; a promise of it
//   tincrates.stop()          ends the run as closing the window does
//   tincrates.ended           a promise of the program's exit code
//   tincrates.frames, .demoTime, .errors, .timings
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
            const context = new AudioContext({ latencyHint: 'interactive', sampleRate: 44100 });
            context.resume();
            Module.audioContext = context;
        } catch (error) {
            console.warn('no Web Audio: ' + error);
        }
        notice.hidden = true;
        canvas.classList.remove('waiting');
        timings.startMs = performance.now() - startTime;
        Module.callMain([]);
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
        if (!(t >= lastStillTime) || t > 232)
            return Promise.reject(
                new Error(`times only go forward, up to 232 (now ${lastStillTime})`));
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
        onFrame(demoTime) {
            if (tincrates.frames === 0)
                timings.firstFrameMs = performance.now() - startTime;
            tincrates.frames++;
            tincrates.demoTime = demoTime;
        },
        onStillFrame(demoTime) {
            lastStillTime = demoTime;
            tincrates.frames++;
            tincrates.demoTime = demoTime;
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
                Module.callMain(['--at', stillText]);
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

    window.addEventListener('error', event => showError(String(event.message)));
    window.addEventListener('unhandledrejection', event => showError(String(event.reason)));

    const script = document.createElement('script');
    script.src = 'tincrates_web.js';
    script.onerror = () => showError('cannot load tincrates_web.js');
    document.body.appendChild(script);
})();

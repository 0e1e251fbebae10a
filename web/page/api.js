// The page's one way to the core, for its own views and for scripts:
// window.morvaneReady is a promise of { value(options), estimate(options) },
// each a promise of the object morvane-sim prints with --format json.
// Options are named as the command line's (see the README). Bad input
// rejects with an Error whose `field` names the option and whose message is
// the Japanese the page shows next to that field.
(() => {
    // Four copies of the core: the quick figures of a tap never wait
    // behind a simulation still running on another, and the yen at a
    // hall's money, whose purchases take long, run on their own, keep or
    // quit's purchases half on a second copy beside the first.
    const QUICK_LANES = new Set(['quick', 'valueQuick']);
    const MONEY_LANES = new Set(['priced', 'nowYen', 'simPriced', 'yenHalfA']);
    const SECOND_MONEY_LANES = new Set(['yenHalfB']);
    let nextId = 1;

    function superseded() {
        const error = new Error('superseded');
        error.superseded = true;
        return error;
    }

    function makeWorker(restartable) {
        const w = { waiting: new Map(), queue: [], busy: false, running: null, restartable };
        start(w);
        return w;
    }

    function start(w) {
        const worker = new Worker('worker.js');
        w.worker = worker;
        w.ready = new Promise((resolve, reject) => {
            worker.addEventListener('error', (e) => reject(new Error('計算エンジンを読み込めませんでした: ' + e.message)));
            worker.addEventListener('message', (event) => {
                if (event.data.ready) { resolve(); return; }
                const { id, text, ms } = event.data;
                const job = w.waiting.get(id);
                w.waiting.delete(id);
                w.busy = false;
                w.running = null;
                pump(w);
                if (!job) return;
                const result = JSON.parse(text);
                if (result.error) {
                    const error = new Error(result.error.message);
                    error.field = result.error.field;
                    job.reject(error);
                } else {
                    Object.defineProperty(result, 'ms', { value: ms, enumerable: false });
                    job.resolve(result);
                }
            });
        });
        w.started = false;
        w.ready.then(() => { w.started = true; pump(w); }, () => {});
    }

    // Requests not yet handed to a worker wait here, one at a time in
    // order; a request of a lane replaces the lane's request still waiting.
    function pump(w) {
        if (w.busy || w.queue.length === 0 || !w.started) return;
        const job = w.queue.shift();
        w.busy = true;
        w.running = job;
        const id = nextId++;
        w.waiting.set(id, job);
        const message = { id, method: job.method, options: job.options };
        if (job.bytes) message.bytes = job.bytes;
        w.worker.postMessage(message);
    }

    // A worker's work cannot be stopped from here: the copy whose answer
    // is no longer wanted is let go and a fresh one loaded, far quicker
    // than waiting for the yen of money since changed.
    function restart(w) {
        const running = w.running;
        w.worker.terminate();
        w.waiting.clear();
        w.busy = false;
        w.running = null;
        start(w);
        if (window.morvaneTimings) window.morvaneTimings.restarts = (window.morvaneTimings.restarts || 0) + 1;
        running.reject(superseded());
    }

    const main = makeWorker(false);
    const quick = makeWorker(false);
    const money = makeWorker(true);
    const money2 = makeWorker(true);

    function call(method, options, lane) {
        let bytes = null;
        const copy = Object.assign({}, options || {});
        if (copy.file !== undefined) {
            const f = copy.file;
            bytes = f instanceof Uint8Array ? f : new Uint8Array(f);
            copy.file = true;
        }
        const w = QUICK_LANES.has(lane) ? quick : MONEY_LANES.has(lane) ? money : SECOND_MONEY_LANES.has(lane) ? money2 : main;
        return new Promise((resolve, reject) => {
            const job = { method, options: copy, bytes, resolve, reject, lane };
            if (lane) {
                const i = w.queue.findIndex((j) => j.lane === lane);
                if (i >= 0) {
                    const old = w.queue[i];
                    w.queue[i] = job;
                    old.reject(superseded());
                    return;
                }
                if (w.restartable && w.running) {
                    w.queue.push(job);
                    restart(w);
                    return;
                }
            }
            w.queue.push(job);
            pump(w);
        });
    }

    const api = {
        value: (options) => call('value', options),
        estimate: (options) => call('estimate', options),
        // For the page's views: a newer request of the same lane replaces
        // an older one not yet begun, so taps never queue up; on the money's
        // copy it also ends the one running.
        latest: (lane, method, options) => call(method, options, lane),
        shapes: () => call('shapes', {}),
    };
    window.morvaneReady = Promise.all([main.ready, quick.ready, money.ready, money2.ready]).then(() => api);
})();

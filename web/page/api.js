// The page's one way to the core, for its own views and for scripts:
// window.morvaneReady is a promise of { value(options), estimate(options) },
// each a promise of the object morvane-sim prints with --format json.
// Options are named as the command line's (see the README). Bad input
// rejects with an Error whose `field` names the option and whose message is
// the Japanese the page shows next to that field.
(() => {
    const worker = new Worker('worker.js');
    let nextId = 1;
    const waiting = new Map();
    // Requests not yet handed to the worker, one at a time in order; a
    // request of a lane replaces the lane's request still waiting here.
    const queue = [];
    let busy = false;

    function pump() {
        if (busy || queue.length === 0) return;
        const job = queue.shift();
        busy = true;
        const id = nextId++;
        waiting.set(id, job);
        const message = { id, method: job.method, options: job.options };
        if (job.bytes) message.bytes = job.bytes;
        worker.postMessage(message);
    }

    worker.onmessage = (event) => {
        if (event.data.ready) return;
        const { id, text, ms } = event.data;
        const job = waiting.get(id);
        waiting.delete(id);
        busy = false;
        pump();
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
    };

    function call(method, options, lane) {
        let bytes = null;
        const copy = Object.assign({}, options || {});
        if (copy.file !== undefined) {
            const f = copy.file;
            bytes = f instanceof Uint8Array ? f : new Uint8Array(f);
            copy.file = true;
        }
        return new Promise((resolve, reject) => {
            const job = { method, options: copy, bytes, resolve, reject, lane };
            if (lane) {
                const i = queue.findIndex((j) => j.lane === lane);
                if (i >= 0) {
                    const superseded = queue[i];
                    queue[i] = job;
                    const error = new Error('superseded');
                    error.superseded = true;
                    superseded.reject(error);
                    return;
                }
            }
            queue.push(job);
            pump();
        });
    }

    const api = {
        value: (options) => call('value', options),
        estimate: (options) => call('estimate', options),
        // For the page's views: a newer request of the same lane replaces
        // an older one not yet begun, so taps never queue up.
        latest: (lane, method, options) => call(method, options, lane),
        shapes: () => call('shapes', {}),
    };
    window.morvaneReady = new Promise((resolve, reject) => {
        const first = (event) => {
            if (event.data.ready) {
                worker.removeEventListener('message', first);
                resolve(api);
            }
        };
        worker.addEventListener('message', first);
        worker.addEventListener('error', (e) => reject(new Error('計算エンジンを読み込めませんでした: ' + e.message)));
    });
})();

// The core runs here, off the page's thread: one request at a time, in the
// order the page sends them.
importScripts('morvane.js');

const ready = MorvaneModule();

self.onmessage = async (event) => {
    const { id, method, options, bytes } = event.data;
    const core = await ready;
    const started = performance.now();
    let text;
    try {
        if (method === 'value') text = core.value(JSON.stringify(options));
        else if (method === 'estimate') text = core.estimate(JSON.stringify(options), bytes || new Uint8Array(0));
        else if (method === 'shapes') text = core.shapes();
        else text = JSON.stringify({ error: { field: 'method', message: '不明な処理です。' } });
    } catch (e) {
        text = JSON.stringify({ error: { field: 'options', message: '計算できませんでした。' + String(e) } });
    }
    self.postMessage({ id, text, ms: performance.now() - started });
};
ready.then(() => self.postMessage({ ready: true }));

// Everything the page needs, kept on the phone at the first visit: it then
// opens with no signal. Answers come from the cache at once; when the
// network is there the cache is refreshed behind them for the next visit.
const CACHE = 'morvane-v1';
const FILES = ['./', 'index.html', 'style.css', 'api.js', 'app.js', 'worker.js', 'morvane.js', 'morvane.wasm',
               'manifest.webmanifest', 'icon.svg', 'icon-192.png', 'icon-512.png'];

self.addEventListener('install', (event) => {
    event.waitUntil(caches.open(CACHE).then((c) => c.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
    event.waitUntil(caches.keys()
        .then((keys) => Promise.all(keys.filter((k) => k !== CACHE).map((k) => caches.delete(k))))
        .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
    if (event.request.method !== 'GET') return;
    event.respondWith(caches.open(CACHE).then(async (cache) => {
        const cached = await cache.match(event.request, { ignoreSearch: true });
        const fresh = fetch(event.request).then((response) => {
            if (response.ok) cache.put(event.request, response.clone());
            return response;
        });
        if (cached) {
            fresh.catch(() => {});
            return cached;
        }
        return fresh;
    }));
});

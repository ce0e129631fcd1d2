// The service worker: keeps the site's files, so that after one visit the game
// opens and plays with no network. Each file comes from the network while
// there is one (so a new version of the site is never mixed with an old one),
// and from what was kept when there is none. The build writes the list.
const kept = "dusk-lynx";
const files = [@DUSK_KEPT_FILES@];

self.addEventListener("install", (event) => {
  event.waitUntil(caches.open(kept).then((cache) => cache.addAll(files)));
});

self.addEventListener("fetch", (event) => {
  event.respondWith(
    fetch(event.request)
      .then((response) => {
        if (response.ok && event.request.method === "GET") {
          const copy = response.clone();
          event.waitUntil(caches.open(kept).then((cache) => cache.put(event.request, copy)));
        }
        return response;
      })
      .catch(async () => (await caches.match(event.request, { ignoreSearch: true })) ?? Response.error()),
  );
});

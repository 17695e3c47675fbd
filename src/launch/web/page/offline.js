// Kept for playing offline: after one visit the service worker (sw.js,
// made at build time with the names and a hash of the built files) serves
// the page, the program and the data without the network. It is
// registered once the game runs, so that it does not compete with the
// first start for the network.
export function keepOffline() {
  if (!('serviceWorker' in navigator) || !window.isSecureContext) return;
  const register = () => navigator.serviceWorker.register('sw.js').catch((error) => {
    console.warn(`the game cannot be kept for offline play: ${error.message || error}`);
  });
  if (document.readyState === 'complete') setTimeout(register, 0);
  else window.addEventListener('load', register, { once: true });
}

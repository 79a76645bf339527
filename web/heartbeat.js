// The editor page's heartbeat, in a worker so that it keeps its pace while
// the page is in the background: every two seconds it tells the server that
// the page holding the editor is still there.
'use strict';

let timer = 0;
self.onmessage = (e) => {
  clearInterval(timer);
  const { session, page, token } = e.data || {};
  if (session === undefined || !page || !token) return;
  const beat = () => fetch('/editor', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json', 'X-Zephrin-Token': token },
    body: JSON.stringify({ action: 'beat', session, page }),
    cache: 'no-store',
  }).catch(() => {});
  beat();
  timer = setInterval(beat, 2000);
};

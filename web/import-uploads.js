// The import page's uploads: a file dropped on the page or chosen with the
// browser's own file picker is copied into the server's uploads folder
// (POST /upload, streamed, with the page's token), imported from there, and
// listed so that it can be used again or removed.
'use strict';

const ImportUploads = (() => {
  const { el, confirmBox, messageBox } = Zephrin;
  const $ = (id) => document.getElementById(id);

  // Sends a file's bytes; resolves to {path} or {error, taken}.
  async function send(file, replace) {
    const query = 'name=' + encodeURIComponent(file.name) + (replace ? '&replace=1' : '');
    try {
      const response = await fetch('upload?' + query, {
        method: 'POST', body: file, cache: 'no-store',
        headers: { 'Content-Type': 'application/octet-stream', 'X-Zephrin-Token': Zephrin.token },
      });
      if (response.ok) return await response.json();
      return { error: (await response.text()).trim() || 'HTTP ' + response.status, taken: response.status === 409 };
    } catch (e) {
      return { error: 'The upload failed: ' + e.message };
    }
  }

  function status(text) { $('upload-status').textContent = text || ''; }

  // Uploads a file, asking before it replaces an upload of the same name;
  // the path of the upload, or '' when there is none.
  async function upload(file) {
    status('Uploading ' + file.name + '…');
    let answer = await send(file, false);
    if (answer.taken && await confirmBox('Upload', answer.error + ' Replace it with the file ' + file.name + '?', 'Replace')) {
      answer = await send(file, true);
    }
    if (answer.error) {
      status(answer.taken ? 'Nothing uploaded.' : '');
      if (!answer.taken) await messageBox('Upload', answer.error);
      return '';
    }
    status('Uploaded ' + file.name + '.');
    return answer.path;
  }

  // The uploads table: each with Use and Remove. `use(path)` makes it the data file.
  async function refresh(use) {
    const answer = await Zephrin.editor({ action: 'uploads' }).catch((e) => ({ error: e.message }));
    const table = $('upload-list');
    $('uploads-note').textContent = answer.error ? answer.error : (answer.folder ? 'Kept in ' + answer.folder : '');
    const uploads = answer.uploads || [];
    table.replaceChildren(el('tr', {}, el('th', { text: 'File' }), el('th', { text: 'Size' }), el('th', {})));
    for (const u of uploads) {
      const useButton = el('button', { type: 'button', text: 'Use', 'aria-label': 'Use ' + u.name, onclick: () => use(u.path) });
      const remove = el('button', { type: 'button', text: 'Remove', 'aria-label': 'Remove ' + u.name, onclick: () => removeUpload(u.name, use) });
      table.append(el('tr', {}, el('td', { text: u.name }), el('td', { text: u.size + ' bytes' }), el('td', { class: 'actions' }, useButton, ' ', remove)));
    }
    if (!uploads.length) table.append(el('tr', {}, el('td', { colspan: '3', text: 'No uploaded files.' })));
  }

  async function removeUpload(name, use) {
    if (!await confirmBox('Upload', 'Remove the uploaded file ' + name + '?', 'Remove')) return;
    const answer = await Zephrin.editor({ action: 'removeUpload', name }).catch((e) => ({ error: e.message }));
    if (answer.error) await messageBox('Upload', answer.error);
    await refresh(use);
  }

  // Wires the drop zone and the file picker: each upload becomes the data
  // file through `use(path)`.
  function install(use) {
    const zone = $('drop-zone');
    const take = async (files) => {
      if (!files || !files.length) return;
      const path = await upload(files[0]);
      await refresh(use);
      if (path) await use(path);
    };
    $('upload-file').addEventListener('change', async () => {
      await take($('upload-file').files);
      $('upload-file').value = '';
    });
    // A file dropped anywhere on the page is taken, not opened by the browser.
    document.addEventListener('dragover', (e) => {
      if (!e.dataTransfer || ![...e.dataTransfer.types].includes('Files')) return;
      e.preventDefault();
      zone.classList.add('dragging');
    });
    document.addEventListener('dragleave', (e) => { if (e.relatedTarget === null) zone.classList.remove('dragging'); });
    document.addEventListener('drop', (e) => {
      if (!e.dataTransfer || !e.dataTransfer.files.length) return;
      e.preventDefault();
      zone.classList.remove('dragging');
      take(e.dataTransfer.files);
    });
    return refresh(use);
  }

  return { install, refresh };
})();

// The panel's page: trades the token in the address's fragment for the
// panel's cookie, then lists the boards and follows the event stream.
const status = document.getElementById('status');

async function startSession() {
  const token = new URLSearchParams(location.hash.slice(1)).get('token');
  if (token) {
    const answer = await fetch('/api/session', {
      method: 'POST', headers: { Authorization: `Bearer ${token}` },
    });
    history.replaceState(null, '', location.pathname);
    if (!answer.ok) throw new Error((await answer.json()).error);
  }
}

async function showBoards() {
  const answer = await fetch('/api/boards');
  const body = await answer.json();
  if (!answer.ok) throw new Error(body.error);
  const rows = document.querySelector('#boards tbody');
  rows.replaceChildren(...body.map((board) => {
    const row = document.createElement('tr');
    for (const value of [board.index, board.serial, board.firmware, board.driver]) {
      const cell = document.createElement('td');
      cell.textContent = String(value);
      row.append(cell);
    }
    return row;
  }));
  status.textContent = `${body.length} board${body.length === 1 ? '' : 's'}`;
}

try {
  await startSession();
  await showBoards();
  const events = new EventSource('/api/events');
  for (const type of ['arrived', 'removed', 'board', 'resync']) {
    events.addEventListener(type, () => showBoards().catch((e) => { status.textContent = e.message; }));
  }
} catch (failure) {
  status.textContent = failure.message;
}

// Requests to the panel's JSON API. The session cookie goes with every
// request on its own; a failure becomes a panel_failure carrying the
// panel's failure document ({"error", "code", "function", "log_line", ...}).

export class panel_failure extends Error {
  constructor(status, body) {
    super(body.error);
    this.status = status;
    this.body = body;
  }
}

// Sends one request and gives the answer's JSON; throws panel_failure.
export async function call(method, path, body) {
  const options = { method, headers: {} };
  if (body instanceof Blob || body instanceof ArrayBuffer) {
    options.headers['Content-Type'] = 'application/octet-stream';
    options.body = body;
  } else if (body !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body);
  }
  let answer;
  try {
    answer = await fetch(path, options);
  } catch {
    throw new panel_failure(0, { error: 'the panel does not answer (was it stopped?)' });
  }
  let document;
  try {
    document = await answer.json();
  } catch {
    throw new panel_failure(answer.status, { error: `the panel answered HTTP ${answer.status} without JSON` });
  }
  if (!answer.ok) throw new panel_failure(answer.status, document);
  return document;
}

// The path of a board's resource; a serial may hold any character.
export function board_path(serial, ...rest) {
  return ['/api/boards', serial, ...rest].map((part, i) => (i ? encodeURIComponent(part) : part)).join('/');
}

// Trades the token in the address's fragment for the session cookie and
// takes the token out of the address bar.
export async function start_session() {
  const fields = new URLSearchParams(location.hash.slice(1));
  const token = fields.get('token');
  if (!token) return;
  fields.delete('token');
  history.replaceState(null, '', location.pathname + (fields.size ? `#${fields}` : ''));
  const answer = await fetch('/api/session', {
    method: 'POST', headers: { Authorization: `Bearer ${token}` },
  });
  if (!answer.ok) throw new panel_failure(answer.status, await answer.json());
}

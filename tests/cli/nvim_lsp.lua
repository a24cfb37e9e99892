-- Neovim as the language server's client: opens a file, waits for the
-- diagnostics, applies the quick fix for the unclosed outline, waits for
-- the diagnostics of the fixed text, asks for a hover and the document
-- symbols, and writes what it saw as JSON to $CORVALA_OUT. Run by
-- tests/cli/lsp_test.cpp with nvim --headless --clean.
local bin = os.getenv('CORVALA_CHECK')
local file = os.getenv('CORVALA_FIXTURE')
local out_path = os.getenv('CORVALA_OUT')
local seen = { events = {} }

local function finish()
  local f = assert(io.open(out_path, 'w'))
  f:write(vim.fn.json_encode(seen))
  f:close()
  vim.cmd('qall!')
end

local ok, err = pcall(function()
  vim.cmd('edit ' .. vim.fn.fnameescape(file))
  local buf = vim.api.nvim_get_current_buf()
  local published = {}
  local client_id = vim.lsp.start_client({
    name = 'corvala',
    cmd = { bin, '--lsp' },
    root_dir = vim.fn.fnamemodify(file, ':p:h'),
    init_options = { rules = 'extended', blocks = true },
    handlers = {
      ['textDocument/publishDiagnostics'] = function(_, result)
        table.insert(published, result)
      end,
    },
  })
  assert(client_id, 'the server did not start')
  vim.lsp.buf_attach_client(buf, client_id)
  local client = vim.lsp.get_client_by_id(client_id)

  assert(vim.wait(10000, function() return #published > 0 end, 20), 'no diagnostics came')
  seen.first = published[#published]

  -- The quick fix for the unclosed outline.
  local not_closed
  for _, d in ipairs(seen.first.diagnostics) do
    if d.code == 'not-closed' then not_closed = d end
  end
  assert(not_closed, 'no not-closed diagnostic')
  local reply = client.request_sync('textDocument/codeAction', {
    textDocument = { uri = vim.uri_from_bufnr(buf) },
    range = not_closed.range,
    context = { diagnostics = { not_closed } },
  }, 5000, buf)
  assert(reply and reply.result, 'no code actions')
  seen.actions = reply.result
  local before = #published
  vim.lsp.util.apply_workspace_edit(reply.result[1].edit, client.offset_encoding or 'utf-16')
  assert(vim.wait(10000, function() return #published > before end, 20), 'no diagnostics after the fix')
  seen.after = published[#published]
  seen.fixed_line = vim.api.nvim_buf_get_lines(buf, 11, 12, false)[1]

  -- Hover on the first DP, and the symbols.
  reply = client.request_sync('textDocument/hover', {
    textDocument = { uri = vim.uri_from_bufnr(buf) },
    position = { line = 8, character = 6 },
  }, 5000, buf)
  seen.hover = reply and reply.result
  reply = client.request_sync('textDocument/documentSymbol', {
    textDocument = { uri = vim.uri_from_bufnr(buf) },
  }, 5000, buf)
  seen.symbols = reply and reply.result

  client.stop()
  vim.wait(5000, function() return client.is_stopped() end, 20)
  seen.stopped = client.is_stopped()
end)
if not ok then seen.error = tostring(err) end
finish()

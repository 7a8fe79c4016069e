// The transport-agent scripts parse as PowerShell and keep their contract:
// one optional switch "-norestart" and nothing else, the local transport
// server looked up and an error without one, the agent looked up by its
// display name and a quiet end without it, disable then uninstall without
// confirmation with progress and error lines, and the transport service
// stopped and started around the change only without "-norestart".
//   node transport_agent_scripts_test.cjs SCRIPT_FOLDER PARSER_FOLDER
// PARSER_FOLDER holds the parser's npm packages (tools/script-parser).
'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { createRequire } = require('node:module');

const [scriptFolder, parserFolder] = process.argv.slice(2);
const parserRequire = createRequire(path.resolve(parserFolder, 'package.json'));
let parserPackages;
try {
  parserPackages = {
    treeSitter: parserRequire('web-tree-sitter'),
    grammar: parserRequire.resolve('tree-sitter-powershell/tree-sitter-powershell.wasm'),
  };
} catch (error) {
  console.error(`The PowerShell parser is not installed: run tools/install-script-parser.sh (${error.message})`);
  process.exit(1);
}

// Resource number, file, the agent's display name.
const scripts = [
  [102, 'zor10-antispam-agent.ps1', 'ZOR 10 Antispam Agent'],
  [103, 'zor10-antivirus-routing-agent.ps1', 'ZOR 10 Antivirus Routing Agent'],
  [104, 'zor10-antivirus-smtp-agent.ps1', 'ZOR 10 Antivirus SMTP Agent'],
  [112, 'zor9-antispam-agent.ps1', 'ZOR 9 Antispam Agent'],
  [113, 'zor9-antivirus-routing-agent.ps1', 'ZOR 9 Antivirus Routing Agent'],
  [114, 'zor9-antivirus-smtp-agent.ps1', 'ZOR 9 Antivirus SMTP Agent'],
];

// The cmdlets that act on Exchange, in the order a script must reach them.
const exchangeCmdlets = [
  'Get-TransportServer', 'Get-TransportAgent', 'Stop-Service',
  'Disable-TransportAgent', 'Uninstall-TransportAgent', 'Start-Service',
];

function nodesOfType(node, type, found = []) {
  if (node.type === type) found.push(node);
  for (const child of node.namedChildren) nodesOfType(child, type, found);
  return found;
}

// An ERROR node or a token the parser had to make up, anywhere below.
function hasParseError(node) {
  return node.hasError;
}

function enclosingIf(node) {
  for (let up = node.parent; up; up = up.parent) if (up.type === 'if_statement') return up;
  return null;
}

// The condition of an if statement, as written.
function condition(ifStatement) {
  return ifStatement.namedChildren.find((child) => child.type === 'pipeline').text.replace(/\s+/g, ' ');
}

function commandsNamed(tree, name) {
  return nodesOfType(tree.rootNode, 'command').filter((command) => command.namedChildren[0]?.text === name);
}

function outputsIn(node) {
  return nodesOfType(node, 'command')
    .filter((command) => command.namedChildren[0]?.text === 'Write-Output')
    .map((command) => command.text);
}

function checkScript(parser, file, agentName) {
  const text = fs.readFileSync(path.join(scriptFolder, file), 'utf8');
  const tree = parser.parse(text);
  assert.equal(hasParseError(tree.rootNode), false, 'the script does not parse');

  const parameters = nodesOfType(tree.rootNode, 'script_parameter').map((p) => p.text.replace(/\s+/g, ''));
  assert.deepEqual(parameters, ['[switch]$norestart'], 'one optional switch, -norestart');

  const assignments = nodesOfType(tree.rootNode, 'assignment_expression').map((a) => a.text);
  assert.ok(assignments.includes(`$agentName = '${agentName}'`), `the agent is '${agentName}'`);

  // Any other argument: an error line and nothing done.
  const argumentCheck = nodesOfType(tree.rootNode, 'if_statement').find((s) => condition(s) === '$args.Count -gt 0');
  assert.ok(argumentCheck, 'other arguments are refused');
  assert.ok(outputsIn(argumentCheck).some((line) => line.includes('ERROR:')), 'with an error line');
  assert.equal(nodesOfType(argumentCheck, 'flow_control_statement')[0]?.text, 'return', 'and an end');
  assert.ok(argumentCheck.startIndex < commandsNamed(tree, 'Get-TransportServer')[0].startIndex, 'before anything');

  const reached = nodesOfType(tree.rootNode, 'command')
    .map((command) => command.namedChildren[0]?.text)
    .filter((name) => exchangeCmdlets.includes(name));
  assert.deepEqual(reached, exchangeCmdlets, 'the cmdlets in their order, each once');

  const server = commandsNamed(tree, 'Get-TransportServer')[0];
  assert.match(server.text, /-Identity \$env:COMPUTERNAME\b/, 'the local host as transport server');
  const noServer = nodesOfType(tree.rootNode, 'if_statement').find((s) => condition(s) === '$server -eq $null');
  assert.ok(noServer && outputsIn(noServer).some((line) => line.includes('ERROR:')), 'an error without a server');
  assert.equal(nodesOfType(noServer, 'flow_control_statement')[0]?.text, 'return');

  const agent = commandsNamed(tree, 'Get-TransportAgent')[0];
  assert.match(agent.text, /-Identity \$agentName\b/, 'the agent by its display name');
  const noAgent = nodesOfType(tree.rootNode, 'if_statement').find((s) => condition(s) === '$agent -eq $null');
  assert.ok(noAgent, 'a missing agent is looked for');
  const quiet = outputsIn(noAgent);
  assert.ok(quiet.length === 1 && quiet[0].includes('not installed') && !quiet[0].includes('ERROR'),
    'a quiet end when the agent is not installed');
  assert.equal(nodesOfType(noAgent, 'flow_control_statement')[0]?.text, 'return');

  for (const name of ['Disable-TransportAgent', 'Uninstall-TransportAgent']) {
    const step = commandsNamed(tree, name)[0];
    assert.match(step.text, /-Identity \$agentName\b/, `${name} acts on the agent`);
    assert.match(step.text, /-Confirm:\$false\b/, `${name} asks nothing`);
    assert.match(step.text, /-ErrorVariable failure\b/, `${name} keeps its failure`);
    assert.equal(enclosingIf(step), null, `${name} runs whatever -norestart says`);
    const progress = outputsIn(tree.rootNode).filter((line) => line.includes(name.startsWith('Disable') ?
      'Disabling $agentName' : 'Uninstalling $agentName'));
    assert.equal(progress.length, 1, `a progress line before ${name}`);
    const failure = nodesOfType(tree.rootNode, 'if_statement')
      .find((s) => condition(s) === '$failure' && s.startIndex > step.startIndex);
    assert.ok(failure && outputsIn(failure).some((line) => line.includes('ERROR:')), `an error when ${name} fails`);
  }

  for (const name of ['Stop-Service', 'Start-Service']) {
    const call = commandsNamed(tree, name)[0];
    assert.match(call.text, /\bMSExchangeTransport\b/, `${name} acts on the transport service`);
    const guard = enclosingIf(call);
    assert.ok(guard && condition(guard) === '-not $norestart', `${name} only without -norestart`);
  }
}

(async () => {
  const { Parser, Language } = parserPackages.treeSitter;
  await Parser.init();
  const parser = new Parser();
  parser.setLanguage(await Language.load(parserPackages.grammar));

  // The check itself must see a broken script.
  assert.equal(hasParseError(parser.parse('param([switch]$norestart)\nif ($args.Count -gt 0) {\n').rootNode), true);

  let failed = 0;
  for (const [resource, file, agentName] of scripts) {
    try {
      checkScript(parser, file, agentName);
      console.log(`ok ${resource} ${file}`);
    } catch (error) {
      failed += 1;
      console.log(`not ok ${resource} ${file}: ${error.message}`);
    }
  }
  process.exit(failed === 0 ? 0 : 1);
})();

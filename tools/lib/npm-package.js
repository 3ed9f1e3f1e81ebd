// Fetches one npm package (name@version) with npm itself and unpacks it under a folder; returns
// where. Shared by the tools that vendor assets from the registry.
'use strict';

const { execFileSync } = require('child_process');
const fs = require('fs');
const path = require('path');

function fetchPackage(spec, into) {
  const tarball = execFileSync('npm', ['pack', '--silent', '--pack-destination', into, spec],
                               { encoding: 'utf8' }).trim().split('\n').pop();
  const dir = path.join(into, spec.split('@')[0]);
  fs.mkdirSync(dir);
  execFileSync('tar', ['-xzf', path.join(into, tarball), '-C', dir, '--strip-components=1']);
  return dir;
}

module.exports = { fetchPackage };

#!/usr/bin/env python3
"""Prints the folder include graph of the product (tests, bench, fuzz, tools and
build trees left out) and checks that its layers run one way, lowest first:
include and platform, core, builders, engine, then chunkops, htmlgen,
htmlimport, mime and driver, then tools. Prints every include that runs
against that order and every folder cycle; exits 1 if there is any.

Usage: scripts/layers.py [source root, default: the project]"""
import os
import re
import sys

ORDER = [['include', 'platform'], ['core'], ['builders'], ['engine'],
         ['chunkops', 'htmlgen', 'htmlimport', 'mime', 'driver'], ['tools']]
SKIP = {'tests', 'bench', 'fuzz', 'tools', 'build', 'samples', 'scripts', 'cmake'}
INCLUDE = re.compile(r'#\s*include\s*"([^"]+)"')


def include_graph(root):
    folders = [d for d in sorted(os.listdir(root))
               if os.path.isdir(os.path.join(root, d)) and d not in SKIP and not d.startswith('.')]
    edges = {f: {} for f in folders}
    for folder in folders:
        for path, _, names in os.walk(os.path.join(root, folder)):
            for name in names:
                if not name.endswith(('.h', '.hpp', '.cpp', '.cc', '.in')):
                    continue
                with open(os.path.join(path, name), errors='replace') as source:
                    for line in source:
                        match = INCLUDE.search(line)
                        if not match:
                            continue
                        top = match.group(1).lstrip('./').split('/')[0]
                        top = 'include' if top == 'talix' else top
                        if top in edges and top != folder:
                            edges[folder][top] = edges[folder].get(top, 0) + 1
    return edges


def folder_cycles(edges):
    index, low, stack, on, cycles, counter = {}, {}, [], set(), [], [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on.add(v)
        for w in edges[v]:
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            component = []
            while True:
                w = stack.pop()
                on.discard(w)
                component.append(w)
                if w == v:
                    break
            if len(component) > 1:
                cycles.append(sorted(component))

    for v in edges:
        if v not in index:
            visit(v)
    return cycles


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')
    rank = {f: i for i, group in enumerate(ORDER) for f in group}
    edges = include_graph(root)
    for folder in sorted(edges, key=lambda f: (rank.get(f, len(ORDER)), f)):
        targets = ', '.join(f'{t} ({n})' for t, n in sorted(edges[folder].items(), key=lambda e: rank.get(e[0], 99)))
        print(f'{folder} -> {targets or "-"}')
    against = [(a, b, n) for a in edges for b, n in edges[a].items()
               if a in rank and b in rank and rank[b] > rank[a]]
    for a, b, n in against:
        print(f'against the order: {a} -> {b} ({n} includes)')
    cycles = folder_cycles(edges)
    for cycle in cycles:
        print('folders in one include cycle: ' + ', '.join(cycle))
    print(f'layers: {len(against)} includes against the order, {len(cycles)} folder cycles')
    return 1 if against or cycles else 0


if __name__ == '__main__':
    sys.exit(main())

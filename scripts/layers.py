#!/usr/bin/env python3
"""Prints the folder include graph of the product (tests, bench, fuzz, tools and
build trees left out) and checks that its layers run one way, lowest first:
include and platform, core, builders, engine, then chunkops, htmlgen,
htmlimport, mime and driver, then tools. The session's set-up (setup/: the
session's constructor, which fills the tables through which the lower
folders reach the higher ones, and CreateDesignElement, which calls the
chunk methods) sits beside the driver, which calls it to make its session,
and above every folder it takes from. Prints every include that runs against that order and every folder
cycle.

With an object directory (the internal library's objects, one sub-folder per
source folder, as CMake leaves them in build/<preset>/CMakeFiles/
talix_objects.dir), it also checks the link level: every symbol an object
leaves undefined is looked up among the symbols the objects of each folder
define (nm), and a reference from one folder to a folder later in the order
is printed. Without --objects, the object directory of the first build tree
found under the source root is taken (debug first); when there is none, the
link level is reported as not checked.

Exits 1 when there is any include or link reference against the order, or a
folder cycle; 2 when nm fails.

Usage: scripts/layers.py [--objects DIR] [source root, default: the project]"""
import argparse
import os
import re
import subprocess
import sys

ORDER = [['include', 'platform'], ['core'], ['builders'], ['engine'],
         ['chunkops', 'htmlgen', 'htmlimport', 'mime', 'driver', 'setup'], ['tools']]
# Folders that sit above some folders of their own level: the set-up (the
# session's constructor and CreateDesignElement) is called by the driver, its
# sibling, when the driver makes its session, but lives above every folder
# whose functions it puts into the session's tables or calls, which
# therefore may not reach it.
ABOVE = {'setup': {'core', 'builders', 'engine', 'chunkops', 'htmlgen', 'htmlimport', 'mime'}}
SKIP = {'tests', 'bench', 'fuzz', 'tools', 'build', 'samples', 'scripts', 'cmake'}
INCLUDE = re.compile(r'#\s*include\s*"([^"]+)"')
OBJECTS = os.path.join('CMakeFiles', 'talix_objects.dir')
# Symbol kinds of nm that define a symbol for the whole program. Weak and
# unique symbols (inline functions, templates, their statics) are emitted by
# every object that uses them and name no folder.
DEFINING = set('TDBRGSC')


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


def object_files(objects, root):
    """(folder, path relative to the object directory) of every object whose
    source is still in the tree (a build leaves the objects of removed
    sources behind)."""
    found = []
    for path, _, names in os.walk(objects):
        for name in names:
            if name.endswith('.o'):
                relative = os.path.relpath(os.path.join(path, name), objects)
                if os.path.isfile(os.path.join(root, relative[:-2])):
                    found.append((relative.split(os.sep)[0], relative))
    return sorted(found)


def symbol_tables(objects, files):
    """The symbols each object defines and leaves undefined (mangled), read
    with one run of nm over all of them."""
    defined, undefined = {}, {}
    if not files:
        return defined, undefined
    paths = [os.path.join(objects, relative) for _, relative in files]
    run = subprocess.run(['nm', '-A', '-P'] + paths, capture_output=True, text=True)
    if run.returncode != 0:
        raise RuntimeError(run.stderr.strip() or 'nm failed')
    for line in run.stdout.splitlines():
        # "<file>: <name> <kind> [<value> <size>]"
        head, _, rest = line.partition(': ')
        fields = rest.split()
        if len(fields) < 2:
            continue
        relative = os.path.relpath(head, objects)
        name, kind = fields[0], fields[1]
        if kind == 'U':
            undefined.setdefault(relative, set()).add(name)
        elif kind in DEFINING:
            defined.setdefault(name, set()).add(relative.split(os.sep)[0])
    return defined, undefined


def demangled(names):
    if not names:
        return {}
    run = subprocess.run(['c++filt'], input='\n'.join(names), capture_output=True, text=True)
    shown = run.stdout.splitlines() if run.returncode == 0 else []
    return dict(zip(names, shown)) if len(shown) == len(names) else {n: n for n in names}


def is_against(folder, target, rank):
    """Whether a reference from folder to target runs against the order."""
    if folder not in rank or target not in rank:
        return False
    return rank[target] > rank[folder] or folder in ABOVE.get(target, ())


def link_references(objects, root, rank):
    """Every reference of an object to a symbol that an object of a later
    folder defines: (folder, object, target folder, symbol), demangled."""
    files = object_files(objects, root)
    defined, undefined = symbol_tables(objects, files)
    against = []
    for folder, relative in files:
        if folder not in rank:
            continue
        for name in sorted(undefined.get(relative, ())):
            for target in sorted(defined.get(name, ())):
                if is_against(folder, target, rank):
                    against.append((folder, relative, target, name))
    names = demangled(sorted({a[3] for a in against}))
    return [(f, o, t, names.get(n, n)) for f, o, t, n in against], len(files)


def default_objects(root):
    build = os.path.join(root, 'build')
    if not os.path.isdir(build):
        return None
    presets = sorted(os.listdir(build), key=lambda p: (p != 'debug', p))
    for preset in presets:
        candidate = os.path.join(build, preset, OBJECTS)
        if os.path.isdir(candidate):
            return candidate
    return None


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--objects', help='the internal library\'s object directory')
    parser.add_argument('root', nargs='?',
                        default=os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
    args = parser.parse_args(argv)
    rank = {f: i for i, group in enumerate(ORDER) for f in group}

    edges = include_graph(args.root)
    for folder in sorted(edges, key=lambda f: (rank.get(f, len(ORDER)), f)):
        targets = ', '.join(f'{t} ({n})' for t, n in sorted(edges[folder].items(), key=lambda e: rank.get(e[0], 99)))
        print(f'{folder} -> {targets or "-"}')
    against = [(a, b, n) for a in edges for b, n in edges[a].items()
               if is_against(a, b, rank)]
    for a, b, n in against:
        print(f'against the order: {a} -> {b} ({n} includes)')
    cycles = folder_cycles(edges)
    for cycle in cycles:
        print('folders in one include cycle: ' + ', '.join(cycle))

    objects = args.objects or default_objects(args.root)
    links = []
    if objects is None:
        link_summary = 'link level not checked (no object directory: build, or pass --objects)'
    elif not os.path.isdir(objects):
        print(f'layers: no object directory {objects}', file=sys.stderr)
        return 2
    else:
        try:
            links, count = link_references(objects, args.root, rank)
        except (OSError, RuntimeError) as error:
            print(f'layers: nm: {error}', file=sys.stderr)
            return 2
        for folder, relative, target, name in links:
            print(f'against the order (link): {relative} -> {target}: {name}')
        link_summary = f'{len(links)} link references against the order ({count} objects)'
    print(f'layers: {len(against)} includes against the order, {len(cycles)} folder cycles, {link_summary}')
    return 1 if against or cycles or links else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))

# dadi_to_obs.py: a spectrum file of dadi or moments (text format) as the
# observed spectrum file of a brimvane frequency-data run. Plain Python 3.8
# or later, no other module.
#
#   python3 dadi_to_obs.py SPECTRUM MODEL [AXIS_OF_DEME_0 AXIS_OF_DEME_1 ...]
#
# SPECTRUM: lines starting with "#" are comments; then a shape line (the
# array's dimensions, n + 1 per population of n genes, then "folded" or
# "unfolded", then perhaps the population names), the values in row-major
# order (the last axis varies fastest), and a mask line of 0/1 (1 = masked).
# MODEL: the name of the model file or template without its extension; the
# file is written beside it as MODEL_<spectrum>.obs.
# The axes: which population of the file (0 = its first axis) becomes deme 0,
# deme 1, ... of the model; by default axis d becomes deme d.
#
# Masked cells are written as 0: their sites are not scored. These are the two
# corners of an unfolded spectrum (no sampled gene, or every one, carries the
# derived allele), which is why the run needs -0, and the cells beyond the
# folded range of a folded spectrum. Without a mask line the corners are masked,
# and for a folded spectrum the cells beyond its range too.
# Written: 1 population: MODEL_DAFpop0.obs (-d); 2: MODEL_jointDAFpop1_0.obs,
# rows deme 1, columns deme 0 (-d); 3 or more: MODEL_DSFS.obs (-d -u). A
# folded spectrum gives the MAF file of the same kind (-m in place of -d).
import math
import sys


def number(path, line, token):
    try:
        return float(token)
    except ValueError:
        sys.exit('%s, line %d: "%s" is not a number' % (path, line, token))


def read_spectrum(path):
    """The shape, the folded flag, the values and the mask of a spectrum file."""
    try:
        with open(path) as f:
            lines = [(i, l.split()) for i, l in enumerate(f, 1)
                     if l.strip() and not l.lstrip().startswith("#")]
    except OSError as e:
        sys.exit("%s: %s" % (path, e.strerror))
    if not lines:
        sys.exit(path + ": no shape line")
    head = lines[0][1]
    shape = []
    for token in head:
        if not token.isdigit():
            break
        shape.append(int(token))
    rest = head[len(shape):]
    folded = bool(rest) and rest[0] == "folded"
    if not shape or min(shape) < 2:
        sys.exit(path + ": the shape line must begin with the dimensions (n + 1 for n genes)")
    size = math.prod(shape)
    tokens = [(i, t) for i, line in lines[1:] for t in line]
    if len(tokens) not in (size, 2 * size):
        sys.exit("%s: %d values for a spectrum of %d cells (and as many mask values)"
                 % (path, len(tokens), size))
    values = [number(path, i, t) for i, t in tokens[:size]]
    if len(tokens) == 2 * size:
        # The mask is a line of its own: values and mask of the wrong lengths
        # would otherwise pass together.
        if tokens[size][0] == tokens[size - 1][0]:
            sys.exit("%s: %s values on the lines after the shape line: the values of the %d "
                     "cells and the mask line of as many do not split there"
                     % (path, " + ".join(str(len(line)) for i, line in lines[1:]), size))
        for i, t in tokens[size:]:
            if t not in ("0", "1"):
                sys.exit('%s, line %d: "%s" in the mask line (0 or 1 expected)' % (path, i, t))
        mask = [t == "1" for i, t in tokens[size:]]
    else:
        mask = [False] * size
        mask[0] = mask[-1] = True
        if folded:
            genes = sum(shape) - len(shape)
            for i in range(size):
                if 2 * sum(coordinates(i, shape)) > genes:
                    mask[i] = True
    return shape, folded, values, mask


def coordinates(index, shape):
    """Counts along each axis of the cell at a row-major index."""
    coord = []
    for n in reversed(shape):
        coord.append(index % n)
        index //= n
    return coord[::-1]


def text(value):
    return "%d" % value if value == int(value) else repr(value)


def convert(path, model, axes=None):
    shape, folded, values, mask = read_spectrum(path)
    dims = len(shape)
    axes = list(axes) if axes else list(range(dims))
    if sorted(axes) != list(range(dims)):
        sys.exit("the axes must name each of the %d populations of %s once" % (dims, path))
    cells = {}  # deme counts -> value, masked cells 0
    dropped = 0.0
    for i, v in enumerate(values):
        coord = coordinates(i, shape)
        if mask[i]:
            dropped += 0.0 if math.isnan(v) else v
            v = 0.0
        elif not (math.isfinite(v) and v >= 0):
            sys.exit("%s: the cell %s holds %r" % (path, tuple(coord), v))
        cells[tuple(coord[a] for a in axes)] = v
    n = [shape[a] - 1 for a in axes]  # genes of deme 0, 1, ...
    kind = "MAF" if folded else "DAF"
    if dims == 1:
        name = "%s_%spop0.obs" % (model, kind)
        lines = ["1 observations",
                 "\t".join("d0_%d" % k for k in range(n[0] + 1)),
                 "\t".join(text(cells[(k,)]) for k in range(n[0] + 1))]
    elif dims == 2:  # rows deme 1, columns deme 0: dadi's array transposed
        name = "%s_joint%spop1_0.obs" % (model, kind)
        lines = ["1 observations", "".join("\td0_%d" % l for l in range(n[0] + 1))]
        for k in range(n[1] + 1):
            lines.append("d1_%d\t" % k + "\t".join(text(cells[(l, k)]) for l in range(n[0] + 1)))
    else:  # deme 0 varies slowest, as axis 0 in dadi
        name = "%s_%s.obs" % (model, "MSFS" if folded else "DSFS")
        demes = [d + 1 for d in n]
        entries = [text(cells[tuple(coordinates(i, demes))]) for i in range(math.prod(demes))]
        lines = ["1 observations. No. of demes and sample sizes are on next line",
                 "\t".join(str(x) for x in [dims] + n), "\t".join(entries)]
    with open(name, "w") as out:
        out.write("\n".join(lines) + "\n")
    print("%s: %s spectrum of %s genes, %g sites in masked cells left out"
          % (name, "folded" if folded else "unfolded", "+".join(str(x) for x in n), dropped))
    return name


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: python3 dadi_to_obs.py SPECTRUM MODEL [AXIS_OF_DEME_0 ...]")
    convert(sys.argv[1], sys.argv[2], [int(a) for a in sys.argv[3:]])

"""How much of the true transmission a scale model S removes."""

import numpy as np


def log_spread_share(transmission, scale):
    """1 - rms ln(A / (c S)) / rms ln(A / c') with the best c and c' (the
    means of the logarithms): 1 when S follows A up to a constant, 0 when S
    removes nothing, negative when it adds spread."""
    la = np.log(np.asarray(transmission, dtype=float))
    ls = np.log(np.asarray(scale, dtype=float))
    before = la - la.mean()
    after = (la - ls) - (la - ls).mean()
    rms_before = np.sqrt(np.mean(before ** 2))
    if rms_before == 0:
        return float("nan")
    return float(1 - np.sqrt(np.mean(after ** 2)) / rms_before)


def log_correlation(transmission, scale):
    la = np.log(np.asarray(transmission, dtype=float))
    ls = np.log(np.asarray(scale, dtype=float))
    if la.std() == 0 or ls.std() == 0:
        return float("nan")
    return float(np.corrcoef(la, ls)[0, 1])


def rms_log(transmission):
    la = np.log(np.asarray(transmission, dtype=float))
    return float(np.sqrt(np.mean((la - la.mean()) ** 2)))

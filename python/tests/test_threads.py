"""Several Python threads call the package at once (ctypes releases the interpreter lock during
each call): every answer is the one a single thread gets. Each thread keeps to a fluid of its
own, so that no answer can depend on another thread's call just before it."""

from concurrent.futures import ThreadPoolExecutor

import numpy as np

import kaltra

FLUIDS = ["R134a", "R22", "R717", "R744"]


def work(fluid):
    t = np.linspace(-30.0, 30.0, 2000)
    answers = [kaltra.KaltHofTP(fluid, t, 5.0, 1), kaltra.KaltSofTP(fluid, t[::-1], 5.0, 1)]
    answers.append(np.array([kaltra.KaltPsat(fluid, float(x), 1) for x in t[::97]]))
    answers.append(np.array([len(kaltra.KaltName(i)) for i in range(1, kaltra.fluid_count() + 1)], dtype=float))
    return answers


def test_concurrent_threads_get_the_answers_of_one_thread():
    expected = [work(f) for f in FLUIDS]
    with ThreadPoolExecutor(max_workers=len(FLUIDS)) as pool:
        for _ in range(3):
            got = list(pool.map(work, FLUIDS))
            for fluid, g, e in zip(FLUIDS, got, expected):
                for a, b in zip(g, e):
                    np.testing.assert_array_equal(a, b, err_msg=fluid)

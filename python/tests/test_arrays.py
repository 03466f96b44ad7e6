"""Arrays in, an ndarray out: the arguments broadcast as NumPy broadcasts them, whatever their
memory layout, and every element is the answer of the scalar call with the same arguments."""

import numpy as np
import pytest

import kaltra

T = np.linspace(-40.0, 60.0, 12)
P = np.array([1.0, 4.0, 9.0, 16.0])


def scalar_answers(function, fluid, *arrays):
    views = np.broadcast_arrays(*[np.asarray(a) for a in arrays])
    out = np.empty(views[0].shape)
    for index in np.ndindex(out.shape):
        out[index] = function(fluid, *(v[index].item() for v in views))
    return out


CASES = [
    ("one temperature array, scalar pressure", T, 5.0, 1, (12,)),
    ("a list of temperatures", list(T[:5]), 5.0, 1, (5,)),
    ("temperatures (12,1) against pressures (4,)", T[:, None], P, 1, (12, 4)),
    ("pressures (4,1) against temperatures (1,12)", T[None, :], P[:, None], 1, (4, 12)),
    ("every other temperature (a strided view)", T[::2], 5.0, 1, (6,)),
    ("temperatures backwards", T[::-1], P[1], 1, (12,)),
    ("a Fortran-ordered block", np.asfortranarray(np.tile(T, (3, 1))), 5.0, 1, (3, 12)),
    ("unit codes as an array", 25.0, 5.0, np.arange(8), (8,)),
    ("a 0-d array", np.array(25.0), 5.0, 1, ()),
    ("an empty array", np.array([]), 5.0, 1, (0,)),
    ("integer temperatures", np.arange(-20, 21, 5), 5, 1, (9,)),
    ("three dimensions", T.reshape(2, 3, 2), P[:2].reshape(1, 1, 2), 1, (2, 3, 2)),
]


@pytest.mark.parametrize("description, t, p, units, shape", CASES, ids=[c[0] for c in CASES])
def test_arguments_broadcast(description, t, p, units, shape):
    got = kaltra.KaltHofTP("R134a", t, p, units)
    assert isinstance(got, np.ndarray), description
    assert got.shape == shape, description
    assert got.dtype == np.float64
    np.testing.assert_array_equal(got, scalar_answers(kaltra.KaltHofTP, "R134a", t, p, units), err_msg=description)


def test_scalars_answer_a_float():
    for t in (25, 25.0, np.float64(25.0), np.int32(25)):
        got = kaltra.KaltPsat("R134a", t, 1)
        assert type(got) is float, type(t)
    assert type(kaltra.KaltIndex("R22")) is int


def test_shapes_that_do_not_broadcast_raise_value_error():
    with pytest.raises(ValueError):
        kaltra.KaltHofTP("R134a", np.zeros(3), np.zeros(4), 1)


def test_the_failure_mark_is_nan_in_arrays_too():
    got = kaltra.KaltMUofTP("R31", T, 5.0, 1)  # R31 has no transport data
    assert np.isnan(got).all()
    assert np.isnan(kaltra.KaltMUofTP("R31", 25.0, 5.0, 1))


def test_text_functions_take_arrays_of_indexes():
    names = kaltra.KaltName(np.array([1, 2, 3]))
    assert list(names) == [kaltra.KaltName(1), kaltra.KaltName(2), kaltra.KaltName(3)]
    labels = kaltra.KaltUnits(np.arange(8)[:, None], np.array([0, 1]))
    assert labels.shape == (8, 2)
    assert labels[1, 1] == "\u00baC"

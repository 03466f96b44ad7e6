"""The catalogue helpers and the generated functions: names, signatures and docstrings come from
the add-in's function table."""

import inspect

import kaltra


def test_the_fluids_are_the_catalogues():
    fluids = kaltra.fluids()
    assert len(fluids) == kaltra.fluid_count() >= 39
    assert fluids[0] == kaltra.Fluid(1, "R11", "CCl3F", kaltra.KaltLongName(1))
    for f in fluids:
        assert kaltra.KaltIndex(f.name) == f.index or kaltra.KaltName(kaltra.KaltIndex(f.name)).lower() == f.name.lower()
        assert kaltra.KaltName(f.index) == f.name


def test_unit_labels():
    assert kaltra.unit_system(1) == "SI Common"
    assert kaltra.unit_label(1, kaltra.TEMPERATURE) == "\u00baC"
    assert kaltra.unit_label(0, kaltra.PRESSURE) == "psia"
    assert kaltra.unit_label(1, kaltra.VOLUME) == "m\u00b3/kg"


def test_every_function_of_the_table_is_a_documented_function():
    table = kaltra.functions()
    assert len(table) == 33
    for f in table:
        python = getattr(kaltra, f.name)
        assert f.name in kaltra.__all__
        assert python.__doc__.startswith(f.help + "\n")
        for a in f.arguments:
            assert a.help in python.__doc__
        parameters = list(inspect.signature(python).parameters)
        assert len(parameters) == len(f.arguments)
    assert list(inspect.signature(kaltra.KaltPofTV).parameters) == ["name", "temperature", "spec_vol", "units"]
    assert kaltra.KaltPsat.__doc__.startswith("saturation pressure\n")

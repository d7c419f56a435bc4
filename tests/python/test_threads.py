"""The GIL is released while solving: other Python threads run meanwhile, and threads solving together
give the same numbers as one after the other; Ctrl-C stops a long Monte Carlo run."""

import _thread
import threading
import time

import pytest

import sightline

EVENT = "examples/three-stations.json"


def test_another_thread_makes_progress_while_a_solve_runs():
    result = {}
    worker = threading.Thread(target=lambda: result.setdefault("solution", sightline.solve(EVENT, mc=2000, threads=1)))
    ticks_while_solving = 0
    worker.start()
    while worker.is_alive():
        time.sleep(0.001)
        ticks_while_solving += worker.is_alive()
    worker.join()
    assert result["solution"]["status"] == "trajectory"
    # Holding the GIL for the whole solve would leave this thread no tick before it ends.
    assert ticks_while_solving >= 10


def test_threads_solving_together_agree_with_one_after_another():
    seeds = [3, 4]
    alone = [sightline.solve(EVENT, mc=400, seed=s, threads=1) for s in seeds]
    together = [None, None]

    def run(i):
        together[i] = sightline.solve(EVENT, mc=400, seed=seeds[i], threads=1)

    workers = [threading.Thread(target=run, args=(i,)) for i in range(2)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    assert together == alone
    assert alone[0] != alone[1]  # the seeds matter: the comparison can fail


def test_keyboard_interrupt_stops_a_long_monte_carlo_run():
    # 200000 draws take about 12 s on one core; the interrupt comes after 0.5 s.
    timer = threading.Timer(0.5, _thread.interrupt_main)
    start = time.monotonic()
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            sightline.solve(EVENT, mc=200_000, threads=1)
    finally:
        timer.cancel()
    assert time.monotonic() - start < 6.0

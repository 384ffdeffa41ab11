# Board.save and Board.gif go through the runner's safe replace: what the
# README's "Limits and guarantees" promise for --save holds for them.
import os
import stat
import tempfile

import pytest

import cellarium

NOBODY = 65534
ROOT = os.geteuid() == 0


def as_nobody(action):
    """Runs action in a child that has become the user nobody; its exit code
    (0 done, 13 PermissionError, 1 anything else)."""
    pid = os.fork()
    if pid == 0:
        code = 1
        try:
            os.setgid(NOBODY)
            os.setuid(NOBODY)
            action()
            code = 0
        except PermissionError:
            code = 13
        finally:
            os._exit(code)
    return os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1])


def test_save_keeps_links_modes_owners_and_read_only_files(tmp_path):
    board = cellarium.soup(150, 150, 0.3, 1)
    whole = board._write("life105", "B3/S23")

    # Hard links: one file under both names, written in place.
    first, second = tmp_path / "a.lif", tmp_path / "b.lif"
    first.write_bytes(b"old")
    os.link(first, second)
    board.save(second)
    assert first.read_bytes() == whole and os.path.samefile(first, second)

    # The user's own links stay links; the file they lead to is replaced, or
    # made when it is not there yet; a loop is refused.
    target, link = tmp_path / "target.lif", tmp_path / "link.lif"
    target.write_bytes(b"old")
    target.chmod(0o640)
    link.symlink_to(target.name)
    board.save(link)
    assert link.is_symlink() and target.read_bytes() == whole
    assert stat.S_IMODE(target.stat().st_mode) == 0o640
    (tmp_path / "dangling.lif").symlink_to("made.lif")
    board.gif(tmp_path / "dangling.lif")
    assert (tmp_path / "made.lif").read_bytes()[:4] == b"GIF8"
    mask = os.umask(0o022)
    os.umask(mask)
    assert stat.S_IMODE((tmp_path / "made.lif").stat().st_mode) == 0o666 & ~mask
    (tmp_path / "loop.lif").symlink_to("loop.lif")
    with pytest.raises(OSError, match="leads nowhere usable"):
        board.save(tmp_path / "loop.lif")
    assert (tmp_path / "loop.lif").is_symlink()

    # A pipe nobody reads stays a pipe, and the save says so at once.
    fifo = tmp_path / "pipe.lif"
    os.mkfifo(fifo)
    with pytest.raises(OSError, match="in use by another program"):
        board.save(fifo)
    assert stat.S_ISFIFO(fifo.lstat().st_mode)
    assert sorted(p.name for p in tmp_path.iterdir()) == [
        "a.lif", "b.lif", "dangling.lif", "link.lif", "loop.lif", "made.lif", "pipe.lif",
        "target.lif"]


@pytest.mark.skipif(not ROOT, reason="needs root, to act for and against another user")
def test_root_keeps_other_users_files_and_refuses_their_links():
    board = cellarium.soup(150, 150, 0.3, 1)
    shared = tempfile.mkdtemp(prefix="cellarium-save-")
    try:
        os.chmod(shared, 0o1777)
        # Another user's file keeps its owner and mode when root saves it.
        theirs = os.path.join(shared, "theirs.lif")
        with open(theirs, "wb") as f:
            f.write(b"old")
        os.chown(theirs, NOBODY, NOBODY)
        os.chmod(theirs, 0o640)
        board.save(theirs)
        st = os.stat(theirs)
        assert (st.st_uid, stat.S_IMODE(st.st_mode)) == (NOBODY, 0o640)

        # Their link in the shared sticky folder is not followed.
        victim = os.path.join(shared, "victim")
        with open(victim, "wb") as f:
            f.write(b"root's")
        bait = os.path.join(shared, "out.lif")
        os.symlink(victim, bait)
        os.lchown(bait, NOBODY, NOBODY)
        with pytest.raises(PermissionError, match="owned by another user; not followed"):
            board.save(bait)
        with open(victim, "rb") as f:
            assert f.read() == b"root's"

        # A read-only file of nobody's in a folder nobody may write stays as
        # it was when nobody saves over it.
        own = os.path.join(shared, "own")
        os.mkdir(own)
        os.chown(own, NOBODY, NOBODY)
        read_only = os.path.join(own, "ro.lif")
        with open(read_only, "wb") as f:
            f.write(b"old")
        os.chown(read_only, NOBODY, NOBODY)
        os.chmod(read_only, 0o444)
        assert as_nobody(lambda: board.save(read_only)) == 13
        with open(read_only, "rb") as f:
            assert f.read() == b"old"
        assert os.listdir(own) == ["ro.lif"]
    finally:
        for root, dirs, files in os.walk(shared, topdown=False):
            for name in files:
                os.unlink(os.path.join(root, name))
            for name in dirs:
                os.rmdir(os.path.join(root, name))
        os.rmdir(shared)

# The two commands: `make test` and `make demo`. Each installs what it needs,
# configures and builds first.
.PHONY: all bootstrap build test soak demo screenshots bench mutants coverage dist clean

all: build

bootstrap:
	@tools/bootstrap

build: bootstrap
	@tools/build >/dev/null

test: bootstrap
	@tools/run-tests

# The full soak of the running program, with its figures.
soak: bootstrap
	@tools/soak

demo: bootstrap
	@tools/demo

# Not a test: vtpanel.exe timed and weighed against bare programs of the
# same build; the table goes to bench/RESULTS.md.
bench: bootstrap
	@tools/bench

# The release archive of the program as it ships, made by every build.
dist: bootstrap
	@tools/build >/dev/null && ls build/dist/sonaris-panel-*.zip

# The listed deliberate faults, each tried in a scratch clone: which test
# catches it (tests/mutants.txt).
mutants: bootstrap
	@tools/mutants

# Which product lines and branches the suite runs (build/coverage/html/);
# fails below the goal or on an unexecuted line tests/uncovered.txt does not
# explain. Not part of make test.
coverage: bootstrap
	@tools/coverage

# Every dialog rendered to a PNG in build/screenshots/.
screenshots: bootstrap
	@tools/screenshots

clean:
	@for d in build/*/wine build/demo/prefix; do [ -d "$$d" ] && tools/wine-run --prefix "$$d" --stop || true; done
	rm -rf build

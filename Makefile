# The two commands a newcomer needs: `make run` and `make test`. Each first installs what is
# missing on a Debian machine, then builds incrementally with CMake.

JOBS ?= 2
BUILD := build
ASAN_BUILD := build-asan
WINDOWS_BUILD := build-windows
FUZZ_BUILD := build-fuzz
BENCH_BUILD := build-bench
WEB_BUILD := build-web
WEB_PORT ?= 8000
# ON keeps the function names in the page's wasm, for bench/web-bench.py --profile.
WEB_NAMES ?= OFF
EMSCRIPTEN_ROOT ?= /usr/share/emscripten
# Emscripten's JavaScript optimizer needs Debian's acorn module, which a node that is not
# Debian's own does not look for.
WEB_NODE_PATH := /usr/share/nodejs$(if $(NODE_PATH),:$(NODE_PATH))
FUZZ_SECONDS ?= 60
SOAK_FRAMES ?= 20000

.PHONY: all run test grade handout references check-exercises autograder grade-class test-assignment test-assignment-windows test-asan asan soak windows windows-configure grade-windows test-windows e2e check-pictures check-frames fuzz bench web serve-web test-web format deps clean

all: $(BUILD)/quillon

deps:
	@scripts/install-deps.sh build

$(BUILD)/quillon: deps FORCE
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release > /dev/null
	@cmake --build $(BUILD) -j $(JOBS) -- --no-print-directory

# INSPECT=1 starts it to inspect (quillon --inspect): P, N, Z and O look inside a frame.
run: $(BUILD)/quillon
	@scripts/run.sh $(BUILD) $(if $(filter 1,$(INSPECT)),--inspect)

test: $(BUILD)/quillon
	@ctest --test-dir $(BUILD) --output-on-failure

asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON > /dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS) -- --no-print-directory

test-asan: asan
	@ASAN_OPTIONS=detect_leaks=1 ctest --test-dir $(ASAN_BUILD) --output-on-failure

# A long run with seeded random input under the sanitizers: no report, no leak, and a heap
# that does not grow after the first thousand frames.
soak: asan
	@ASAN_OPTIONS=detect_leaks=1 $(ASAN_BUILD)/quillon-capture --frames $(SOAK_FRAMES) \
		--random 12345 --check-memory --assets assets --out $(ASAN_BUILD)/soak.bmp

# The program on the real Win32, the tools on our subset; libpng and libjpeg-turbo are built
# for MinGW once, into the build tree.
windows: windows-configure
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS) -- --no-print-directory

windows-configure:
	@scripts/install-deps.sh windows
	@scripts/build-mingw-pictures.sh $(WINDOWS_BUILD)/pictures
	@cmake --no-warn-unused-cli -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release > /dev/null

# The exercises graded with the Windows tools under Wine; the grader builds only those tools.
grade-windows: windows-configure
	@scripts/grade-windows.sh $(WINDOWS_BUILD)

# The framework's tree runs the Windows tests; a student copy, which holds no stubs, grades its
# exercises under Wine instead.
ifneq ($(wildcard exercises/stubs),)
test-windows: windows
	@scripts/test-windows.sh $(WINDOWS_BUILD)
else
test-windows: grade-windows
endif

e2e: $(BUILD)/quillon
	@scripts/install-deps.sh e2e
	@tests/e2e/run.sh $(BUILD)

# The image tool's reading and writing of pictures held to ImageMagick's reading of the same.
check-pictures: $(BUILD)/quillon
	@scripts/install-deps.sh pictures
	@tests/picture_imagemagick_test.sh $(BUILD)/quillon-image

# Every frame of a list against its reference, as a report of pictures. FRAMES=FILE and
# REFERENCES=FOLDER for a list and references of one's own (the references default to the
# list's folder).
FRAMES ?= tests/golden/frames.list
# A value as one word of the shell, whatever it holds.
shell-word = '$(subst ','\'',$(1))'

check-frames: $(BUILD)/quillon
	@$(BUILD)/quillon-frames --frames-list $(call shell-word,$(FRAMES)) \
		$(if $(REFERENCES),--references $(call shell-word,$(REFERENCES))) \
		--report $(BUILD)/frames-report --assets assets

fuzz:
	@scripts/install-deps.sh build fuzz
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUILLON_FUZZ=ON > /dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: web
	@scripts/install-deps.sh build bench web-test
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DQUILLON_BENCH=ON > /dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@$(BENCH_BUILD)/quillon_bench
	@bench/window-bench.sh $(BENCH_BUILD)
	@bench/versus-imagemagick.sh $(BENCH_BUILD)
	@/usr/bin/python3 bench/web-bench.py $(WEB_BUILD) $(BENCH_BUILD)/quillon-capture

web:
	@scripts/install-deps.sh web
	@cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DQUILLON_WEB_NAMES=$(WEB_NAMES) \
		-DCMAKE_TOOLCHAIN_FILE=$(EMSCRIPTEN_ROOT)/cmake/Modules/Platform/Emscripten.cmake > /dev/null
	@NODE_PATH=$(WEB_NODE_PATH) cmake --build $(WEB_BUILD) -j $(JOBS) -- --no-print-directory

serve-web: web
	@python3 scripts/serve-web.py $(WEB_BUILD) $(WEB_PORT)

# Debian's python3-selenium lives beside Debian's own Python, whichever python3 comes first.
test-web: web $(BUILD)/quillon
	@scripts/install-deps.sh web-test
	@/usr/bin/python3 tests/web/serve_test.py $(WEB_BUILD)
	@/usr/bin/python3 tests/web/run.py $(WEB_BUILD)
	@/usr/bin/python3 tests/web/person_test.py $(WEB_BUILD)
	@python3 scripts/web-sizes.py $(WEB_BUILD) --check README.md
	@/usr/bin/python3 tests/web/report_check.py $(BUILD)
	@/usr/bin/python3 tests/web/viewer_check.py $(BUILD)

# The assignment, declared in exercises/exercises.txt: see docs/assignment.md. `make grade`
# grades this tree's own code, or with SUBMISSION=PATH a student's copy (HELD_OUT=DIR for
# scenarios the students never see).
ASSIGNMENT := python3 tools/assignment/assignment.py
grade: deps
	@$(ASSIGNMENT) grade --build $(BUILD) $(if $(SUBMISSION),--submission $(call shell-word,$(SUBMISSION))) \
		$(if $(HELD_OUT),--held-out $(call shell-word,$(HELD_OUT)))

handout: deps
	@$(ASSIGNMENT) handout $(if $(EXERCISES),--exercises $(call shell-word,$(EXERCISES)))

references: $(BUILD)/quillon
	@$(ASSIGNMENT) references

check-exercises: deps
	@$(ASSIGNMENT) check

autograder: deps
	@$(ASSIGNMENT) autograder

# The student copy built, tested and graded, the teacher's grading of whole, mixed, broken and
# hostile submissions, the autograder in a folder standing for /autograder, a class's grades.
test-assignment: handout
	@python3 tests/assignment/assignment_test.py

# The student copy graded by its `make test-windows` under Wine, against its `make grade`.
test-assignment-windows: handout
	@python3 tests/assignment/assignment_test.py --windows

grade-class: deps
	@$(ASSIGNMENT) grade-class --submissions $(call shell-word,$(SUBMISSIONS)) $(if $(HELD_OUT),--held-out $(call shell-word,$(HELD_OUT)))

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WINDOWS_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(WEB_BUILD)

FORCE:

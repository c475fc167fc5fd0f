# cmake -DSEED_DIR=<folder> -DSOURCE_DIRS=<folder|folder...> -P copy_seeds.cmake
# Fills SEED_DIR afresh with every .html page of the source folders. A missing source folder is skipped:
# the fuzzers still run on whatever seeds there are.
file(REMOVE_RECURSE "${SEED_DIR}")
file(MAKE_DIRECTORY "${SEED_DIR}")
string(REPLACE "|" ";" sources "${SOURCE_DIRS}")
set(copied 0)
foreach(source IN LISTS sources)
  file(GLOB pages "${source}/*.html")
  if(pages)
    file(COPY ${pages} DESTINATION "${SEED_DIR}")
    list(LENGTH pages count)
    math(EXPR copied "${copied} + ${count}")
  endif()
endforeach()
message(STATUS "fuzz seeds: ${copied} pages in ${SEED_DIR}")
